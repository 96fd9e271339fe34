// leftbar_image OUT.gif: draws the side bar of the data administration window (the picture p_1
// shows, "leftbar.gif"): a warm gradient with the product's name "Velmora" running up the bar
// and the tool's Chinese name below a drawn emblem, written as a GIF (256 colours, LZW) so that
// the picture keeps the name the window asks for. Needs no display (offscreen platform). Exit
// status 0 when the file was written.
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

// Twice the bar's size on screen (about 88 x 392 pixels), so the scaled picture stays sharp.
constexpr int kWidth = 176;
constexpr int kHeight = 784;

QImage Draw() {
  QImage image(kWidth, kHeight, QImage::Format_RGB32);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);

  QLinearGradient background(0, 0, 0, kHeight);
  background.setColorAt(0.0, QColor(0xB7, 0x1C, 0x1C));
  background.setColorAt(0.55, QColor(0xD8, 0x4A, 0x12));
  background.setColorAt(1.0, QColor(0xF2, 0x9A, 0x1F));
  p.fillRect(image.rect(), background);
  // A light edge on the right, where the bar meets the window.
  p.fillRect(QRect(kWidth - 6, 0, 6, kHeight), QColor(255, 255, 255, 70));

  // Emblem: a bowl with steam, drawn in white.
  p.setPen(QPen(Qt::white, 5, Qt::SolidLine, Qt::RoundCap));
  p.setBrush(Qt::NoBrush);
  const QPointF centre(kWidth / 2.0, 92);
  QPainterPath bowl;
  bowl.moveTo(centre.x() - 46, centre.y());
  bowl.lineTo(centre.x() + 46, centre.y());
  bowl.arcTo(QRectF(centre.x() - 46, centre.y() - 46, 92, 92), 0, -180);
  p.drawPath(bowl);
  p.drawLine(QPointF(centre.x() - 22, centre.y() + 52), QPointF(centre.x() + 22, centre.y() + 52));
  for (int i = -1; i <= 1; ++i) {
    QPainterPath steam;
    const double x = centre.x() + i * 20;
    steam.moveTo(x, centre.y() - 12);
    steam.cubicTo(x - 10, centre.y() - 26, x + 10, centre.y() - 38, x, centre.y() - 52);
    p.drawPath(steam);
  }

  // The product's name, running up the bar.
  QFont name("DejaVu Sans");
  name.setPixelSize(58);
  name.setBold(true);
  name.setLetterSpacing(QFont::AbsoluteSpacing, 4);
  p.save();
  p.translate(kWidth / 2.0 + 20, kHeight - 40);
  p.rotate(-90);
  p.setFont(name);
  p.setPen(QColor(255, 255, 255, 235));
  p.drawText(QRectF(0, -60, 440, 80), Qt::AlignLeft | Qt::AlignVCenter, "Velmora");
  p.restore();

  // The tool's Chinese name, one character under another.
  QFont chinese("WenQuanYi Micro Hei");
  chinese.setPixelSize(24);
  p.setFont(chinese);
  p.setPen(QColor(255, 244, 214));
  const QString caption = QString::fromUtf8("演示数据");
  for (int i = 0; i < caption.size(); ++i) {
    p.drawText(QRectF(0, 170 + i * 30, kWidth, 30), Qt::AlignHCenter | Qt::AlignVCenter,
               caption.mid(i, 1));
  }
  p.end();
  return image;
}

// Packs LZW codes of growing width into bytes, least significant bit first.
class BitWriter {
 public:
  void Put(int code, int width) {
    buffer_ |= static_cast<unsigned long>(code) << bits_;
    bits_ += width;
    while (bits_ >= 8) {
      bytes.push_back(static_cast<unsigned char>(buffer_ & 0xFF));
      buffer_ >>= 8;
      bits_ -= 8;
    }
  }
  void Flush() {
    if (bits_ > 0) bytes.push_back(static_cast<unsigned char>(buffer_ & 0xFF));
    buffer_ = 0;
    bits_ = 0;
  }
  std::vector<unsigned char> bytes;

 private:
  unsigned long buffer_ = 0;
  int bits_ = 0;
};

// GIF's LZW with 8-bit pixels: clear code 256, end code 257, codes up to 12 bits.
std::vector<unsigned char> Compress(const std::vector<unsigned char>& pixels) {
  constexpr int kClear = 256, kEnd = 257, kMaxCode = 4096;
  BitWriter out;
  std::map<std::pair<int, int>, int> table;
  int next = kEnd + 1, width = 9;
  out.Put(kClear, width);
  int prefix = pixels.empty() ? -1 : pixels[0];
  for (size_t i = 1; i < pixels.size(); ++i) {
    const int c = pixels[i];
    const auto found = table.find({prefix, c});
    if (found != table.end()) {
      prefix = found->second;
      continue;
    }
    out.Put(prefix, width);
    if (next < kMaxCode) {
      table[{prefix, c}] = next++;
      if (next > (1 << width) && width < 12) ++width;
    } else {
      out.Put(kClear, width);
      table.clear();
      next = kEnd + 1;
      width = 9;
    }
    prefix = c;
  }
  if (prefix >= 0) out.Put(prefix, width);
  out.Put(kEnd, width);
  out.Flush();
  return out.bytes;
}

bool WriteGif(const QImage& rgb, const char* path) {
  const QImage indexed = rgb.convertToFormat(QImage::Format_Indexed8, Qt::DiffuseDither);
  const int w = indexed.width(), h = indexed.height();
  std::vector<unsigned char> pixels;
  pixels.reserve(static_cast<size_t>(w) * h);
  for (int y = 0; y < h; ++y) {
    const uchar* line = indexed.constScanLine(y);
    pixels.insert(pixels.end(), line, line + w);
  }
  std::string gif = "GIF89a";
  auto u16 = [&gif](int v) {
    gif += static_cast<char>(v & 0xFF);
    gif += static_cast<char>((v >> 8) & 0xFF);
  };
  u16(w);
  u16(h);
  gif += static_cast<char>(0xF7);  // global colour table of 256 entries
  gif += '\0';
  gif += '\0';
  const QList<QRgb> colours = indexed.colorTable();
  for (int i = 0; i < 256; ++i) {
    const QRgb c = i < colours.size() ? colours[i] : 0;
    gif += static_cast<char>(qRed(c));
    gif += static_cast<char>(qGreen(c));
    gif += static_cast<char>(qBlue(c));
  }
  gif += ',';
  u16(0);
  u16(0);
  u16(w);
  u16(h);
  gif += '\0';
  gif += static_cast<char>(8);  // minimum code size
  const std::vector<unsigned char> data = Compress(pixels);
  for (size_t at = 0; at < data.size(); at += 255) {
    const size_t n = std::min<size_t>(255, data.size() - at);
    gif += static_cast<char>(n);
    gif.append(reinterpret_cast<const char*>(data.data() + at), n);
  }
  gif += '\0';
  gif += ';';
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(gif.data(), static_cast<std::streamsize>(gif.size()));
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: leftbar_image OUT.gif\n");
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const QImage image = Draw();
  if (!WriteGif(image, argv[1])) {
    std::fprintf(stderr, "leftbar_image: cannot write %s\n", argv[1]);
    return 1;
  }
  // The file must read back pixel for pixel as the picture in its 256 colours.
  const QImage expected = image.convertToFormat(QImage::Format_Indexed8, Qt::DiffuseDither)
                              .convertToFormat(QImage::Format_RGB32);
  const QImage back = QImage(QString::fromLocal8Bit(argv[1])).convertToFormat(QImage::Format_RGB32);
  if (back != expected) {
    std::fprintf(stderr, "leftbar_image: %s does not read back\n", argv[1]);
    return 1;
  }
  return 0;
}
