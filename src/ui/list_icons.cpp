#include "ui/list_icons.h"

#include <array>

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include "validation/message_status.h"

namespace pelrion::ui {
namespace {

constexpr int kIconSize = 16;

// The theme name and the fallback drawing (a coloured badge with a sign) of one status.
struct StatusLook {
  const char* theme_name;
  QColor colour;
  QChar sign;
};

StatusLook LookOf(std::int32_t status) {
  using namespace validation;
  switch (status) {
    case kStatusAwaitingRequest: return {"appointment-soon", QColor(0xe0, 0xa0, 0x20), '.'};
    case kStatusAwaitingReply: return {"mail-forward", QColor(0x30, 0x80, 0xd0), '>'};
    case kStatusExpired: return {"appointment-missed", QColor(0x90, 0x60, 0x30), 'x'};
    case kStatusRequestFailed: return {"dialog-error", QColor(0xc0, 0x30, 0x30), '!'};
    case kStatusBlacklisted: return {"process-stop", QColor(0x30, 0x30, 0x30), '-'};
    case kStatusUnprovokedReport: return {"mail-mark-junk", QColor(0x80, 0x40, 0x90), '?'};
    case kStatusTrustedContact: return {"user-available", QColor(0x30, 0xa0, 0x40), '+'};
    case kStatusAuthorized: return {"emblem-default", QColor(0x20, 0x90, 0x70), 'v'};
    case kStatusReport: return {"dialog-information", QColor(0x40, 0x70, 0xb0), 'i'};
    case kStatusAuthorizationRequest: return {"mail-unread", QColor(0x60, 0x60, 0xc0), '@'};
    case kStatusNotTrusted: return {"dialog-question", QColor(0xb0, 0x80, 0x20), '?'};
    case kStatusTrustedDomain: return {"network-workgroup", QColor(0x30, 0x90, 0x90), '*'};
    default: return {"mail-message", QColor(0x90, 0x90, 0x90), ' '};
  }
}

QPixmap DrawBadge(const StatusLook& look) {
  QPixmap pixmap(kIconSize, kIconSize);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(look.colour.darker(140));
  painter.setBrush(look.colour);
  painter.drawEllipse(QRectF(1.5, 1.5, 13, 13));
  QFont font = painter.font();
  font.setPixelSize(11);
  font.setBold(true);
  painter.setFont(font);
  painter.setPen(Qt::white);
  painter.drawText(QRect(0, 0, kIconSize, kIconSize), Qt::AlignCenter, QString(look.sign));
  return pixmap;
}

QPixmap DrawPaperClip() {
  QPixmap pixmap(kIconSize, kIconSize);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(QColor(0x50, 0x50, 0x60), 1.4, Qt::SolidLine, Qt::RoundCap));
  painter.setBrush(Qt::NoBrush);
  // An outer loop, then an inner one running back up inside it.
  QPainterPath clip;
  clip.moveTo(10.5, 5);
  clip.lineTo(10.5, 11.5);
  clip.arcTo(QRectF(5.5, 9, 5, 5), 0, -180);
  clip.lineTo(5.5, 3.5);
  clip.arcTo(QRectF(5.5, 1.5, 3.5, 3.5), 180, -180);
  clip.lineTo(9, 10.5);
  clip.arcTo(QRectF(7.3, 9.3, 1.7, 2.4), 0, -180);
  clip.lineTo(7.3, 5);
  painter.drawPath(clip);
  return pixmap;
}

// A folder shape with a coloured mark telling the four folders apart.
QPixmap DrawFolder(const QColor& mark) {
  QPixmap pixmap(kIconSize, kIconSize);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QColor(0x9a, 0x7a, 0x30));
  painter.setBrush(QColor(0xf0, 0xd0, 0x70));
  QPainterPath folder;
  folder.moveTo(1.5, 3.5);
  folder.lineTo(6, 3.5);
  folder.lineTo(7.5, 5);
  folder.lineTo(14.5, 5);
  folder.lineTo(14.5, 13.5);
  folder.lineTo(1.5, 13.5);
  folder.closeSubpath();
  painter.drawPath(folder);
  painter.setPen(Qt::NoPen);
  painter.setBrush(mark);
  painter.drawEllipse(QRectF(8.5, 8, 5, 5));
  return pixmap;
}

QIcon ThemedOr(const char* name, const QPixmap& fallback) {
  return QIcon::fromTheme(QString::fromLatin1(name), QIcon(fallback));
}

}  // namespace

QIcon StatusIcon(std::int32_t status) {
  static const std::array<QIcon, 14> icons = [] {
    std::array<QIcon, 14> made;
    for (int code = 0; code < 13; ++code) {
      const StatusLook look = LookOf(code);
      made[code] = ThemedOr(look.theme_name, DrawBadge(look));
    }
    const StatusLook unknown = LookOf(-1);
    made[13] = ThemedOr(unknown.theme_name, DrawBadge(unknown));
    return made;
  }();
  return status >= 0 && status <= 12 ? icons[status] : icons[13];
}

QIcon AttachmentIcon() {
  static const QIcon icon = ThemedOr("mail-attachment", DrawPaperClip());
  return icon;
}

QIcon FolderIcon(int folder) {
  static const std::array<QIcon, 4> icons = {
      ThemedOr("mail-folder-inbox", DrawFolder(QColor(0x30, 0x80, 0xd0))),
      ThemedOr("folder-important", DrawFolder(QColor(0xe0, 0xa0, 0x20))),
      ThemedOr("mail-mark-junk", DrawFolder(QColor(0x80, 0x40, 0x90))),
      ThemedOr("user-trash", DrawFolder(QColor(0x60, 0x60, 0x60))),
  };
  return folder >= 0 && folder < 4 ? icons[static_cast<std::size_t>(folder)] : QIcon();
}

}  // namespace pelrion::ui
