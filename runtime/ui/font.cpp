#include "runtime/ui/font.h"

#include <QCoreApplication>
#include <QFont>
#include <QFontDatabase>
#include <QPointer>
#include <QStringList>
#include <algorithm>
#include <map>
#include <optional>
#include <utility>

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

// What the font database answered, kept for the application object that asked: each question
// costs a font-configuration lookup (the first one a scan of every installed font), and a
// window asks the same few for each of its controls. The installed fonts do not change while
// the program runs; a new application object (tests make several) asks afresh. Only names are
// kept: a QFont holds font engines that must not outlive the application object.
struct Answers {
  std::optional<QString> first_cjk;
  std::map<std::pair<std::string, Charset>, std::string> families;
};

Answers& CurrentAnswers() {
  static QPointer<QCoreApplication> asked_for;
  static Answers answers;
  QCoreApplication* app = QCoreApplication::instance();
  if (asked_for != app || app == nullptr) {
    answers = Answers();
    asked_for = app;
  }
  return answers;
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
  Answers& answers = CurrentAnswers();
  if (answers.first_cjk) return *answers.first_cjk;
  QString found;
  for (const QString& candidate : CjkCandidates()) {
    if (Installed(candidate)) {
      found = candidate;
      break;
    }
  }
  answers.first_cjk = found;
  return found;
}

std::string LookUpFamily(const std::string& face, Charset charset) {
  const QString family = QString::fromStdString(face);
  if (!family.isEmpty() && Installed(family)) return face;
  if (charset == Charset::GB2312 || HasCjk(family)) {
    const QString cjk = FirstInstalledCjk();
    if (!cjk.isEmpty()) return cjk.toStdString();
  }
  return face;  // left to Qt's own substitution (e.g. a sans face for "Arial")
}

}  // namespace

std::string ResolveFamily(const std::string& face, Charset charset) {
  const auto key = std::make_pair(face, charset);
  {
    const auto& families = CurrentAnswers().families;
    if (const auto known = families.find(key); known != families.end()) return known->second;
  }
  std::string family = LookUpFamily(face, charset);
  CurrentAnswers().families.emplace(key, family);
  return family;
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
