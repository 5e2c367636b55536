// MD5 throughput: every record and blob of the database files is checked against its MD5
// digest when the stores load, so start-up time follows this figure.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "crypto/md5.h"

namespace {

void BM_Md5Of(benchmark::State& state) {
  std::string data(static_cast<std::size_t>(state.range(0)), '\0');
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 131 + 7);
  for (auto _ : state) {
    benchmark::DoNotOptimize(pelrion::crypto::Md5Of(data));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
// A slot record, a typical stored blob, and a large block.
BENCHMARK(BM_Md5Of)->Arg(52)->Arg(344)->Arg(1 << 20);

}  // namespace

BENCHMARK_MAIN();
