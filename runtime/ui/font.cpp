#include "runtime/ui/font.h"

#include <QFont>
#include <QFontDatabase>
#include <QStringList>
#include <algorithm>

namespace hostrt {
namespace {

// CJK faces tried, in order, when a Chinese face is missing.
const QStringList& CjkCandidates() {
  static const QStringList candidates = {
      "SimSun",           "NSimSun",           "WenQuanYi Micro Hei", "WenQuanYi Zen Hei",
      "Noto Sans CJK SC", "Noto Serif CJK SC", "Source Han Sans SC",  "AR PL UMing CN",
      "Microsoft YaHei"};
  return candidates;
}

bool Installed(const QString& family) {
  return QFontDatabase::hasFamily(family);
}

bool HasCjk(const QString& text) {
  for (QChar c : text) {
    if (c.unicode() >= 0x2E80) return true;
  }
  return false;
}

QString FirstInstalledCjk() {
  for (const QString& candidate : CjkCandidates()) {
    if (Installed(candidate)) return candidate;
  }
  return {};
}

}  // namespace

std::string ResolveFamily(const std::string& face, Charset charset) {
  const QString family = QString::fromStdString(face);
  if (!family.isEmpty() && Installed(family)) return face;
  if (charset == Charset::GB2312 || HasCjk(family)) {
    const QString cjk = FirstInstalledCjk();
    if (!cjk.isEmpty()) return cjk.toStdString();
  }
  return face;  // left to Qt's own substitution (e.g. a sans face for "Arial")
}

QFont ResolveFont(const Font& font) {
  QFont result;
  QStringList families;
  const std::string primary = ResolveFamily(font.face, font.charset);
  if (!primary.empty()) families << QString::fromStdString(primary);
  const QString cjk = FirstInstalledCjk();
  if (!cjk.isEmpty() && !families.contains(cjk)) families << cjk;
  if (!families.isEmpty()) result.setFamilies(families);
  if (font.size_pt > 0) result.setPointSize(font.size_pt);
  // Weights 100..900 as in the product; Qt 6 uses the same scale.
  result.setWeight(static_cast<QFont::Weight>(std::clamp(font.weight, 100, 900)));
  result.setItalic(font.italic);
  result.setUnderline(font.underline);
  return result;
}

}  // namespace hostrt
