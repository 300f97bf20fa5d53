#include "widgets/colour.h"

namespace ondrel {

QColor systemColour(int index, const QPalette& pal) {
  switch (index) {
  case 1:  // desktop
  case 12: // application workspace
  case 15: // button face
  case 4:  // menu
  case 22: // 3-D light
    return pal.color(QPalette::Button);
  case 5: // window
    return pal.color(QPalette::Base);
  case 6:  // window frame
  case 16: // button shadow
    return pal.color(QPalette::Mid);
  case 7: // menu text
  case 8: // window text
  case 9: // caption text
    return pal.color(QPalette::WindowText);
  case 13: // highlight
    return pal.color(QPalette::Highlight);
  case 14: // highlight text
    return pal.color(QPalette::HighlightedText);
  case 17: // grey text
    return pal.color(QPalette::Disabled, QPalette::WindowText);
  case 18: // button text
    return pal.color(QPalette::ButtonText);
  case 20: // 3-D highlight
    return pal.color(QPalette::Light);
  case 21: // 3-D dark shadow
    return pal.color(QPalette::Shadow);
  case 23: // tooltip text
    return pal.color(QPalette::ToolTipText);
  case 24: // tooltip background
    return pal.color(QPalette::ToolTipBase);
  default:
    return pal.color(QPalette::Window);
  }
}

QColor toQColor(quint32 value, const QPalette& palette) {
  if (value & 0x80000000u)
    return systemColour(static_cast<int>(value & 0xFFu), palette);
  return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                static_cast<int>((value >> 16) & 0xFF));
}

quint32 fromQColor(const QColor& colour) {
  const QColor c = colour.toRgb();
  return static_cast<quint32>(c.red()) | (static_cast<quint32>(c.green()) << 8) |
         (static_cast<quint32>(c.blue()) << 16);
}

} // namespace ondrel
