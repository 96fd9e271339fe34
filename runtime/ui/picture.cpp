#include "runtime/ui/picture.h"

#include <QImageReader>
#include <QLabel>
#include <QPixmap>
#include <QShowEvent>

namespace hostrt {

namespace {

// A label that decodes its image when it is first shown (or asked about), not when the file
// is named: a window that is built and never shown, as in an unattended run, reads only the
// image's header.
class PictureLabel : public QLabel {
 public:
  void SetPending(const QString& file) {
    pending_ = file;
    clear();
  }
  void ClearPending() { pending_.clear(); }
  // Decodes the pending file, if any; false when it turned out unreadable.
  bool Decode() {
    if (pending_.isEmpty()) return true;
    QPixmap pixmap;
    const bool loaded = pixmap.load(pending_);
    pending_.clear();
    if (loaded) setPixmap(pixmap);
    return loaded;
  }

 protected:
  void showEvent(QShowEvent* event) override {
    Decode();
    QLabel::showEvent(event);
  }

 private:
  QString pending_;
};

}  // namespace

Picture::Picture(Container* parent, std::string name, UnitRect geometry,
                 const std::string& picture_name)
    : Control(parent, std::move(name), new PictureLabel, geometry) {
  label()->setScaledContents(true);
  if (!picture_name.empty()) SetPicture(picture_name);
}

QLabel* Picture::label() const {
  return static_cast<QLabel*>(widget());
}

int Picture::SetPicture(const std::string& file) {
  picture_name_ = file;
  auto* picture = static_cast<PictureLabel*>(label());
  picture->ClearPending();
  const QString path = QString::fromStdString(file);
  QImageReader reader(path);
  if (!reader.canRead() || !reader.size().isValid()) {
    picture->clear();
    return -1;
  }
  picture->SetPending(path);
  if (picture->isVisible()) picture->Decode();
  return 1;
}

bool Picture::HasImage() const {
  static_cast<PictureLabel*>(label())->Decode();
  return !label()->pixmap().isNull();
}

}  // namespace hostrt
