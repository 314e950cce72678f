#include "qtview/textmeasure.h"

#include <QTextBoundaryFinder>

#include "qtview/fonts.h"

namespace vantorel::qtview {

namespace {

constexpr QChar kBreak(u'\u200B');  // a zero-width space: a line may break there

// A word wider than a line gets places to break: after punctuation inside
// it ("_", "-", "." in a file name) and, in a part still too wide, after
// every character.
QString BreakableWord(const QString& word, const QFontMetrics& m, int width) {
  if (m.horizontalAdvance(word) <= width) return word;
  QString out, part;
  auto addPart = [&] {
    if (m.horizontalAdvance(part) <= width) {
      out += part;
    } else {
      QTextBoundaryFinder chars(QTextBoundaryFinder::Grapheme, part);
      for (qsizetype at = 0, next; (next = chars.toNextBoundary()) > 0; at = next)
        out += part.mid(at, next - at) + (next < part.size() ? QString(kBreak) : QString());
    }
    part.clear();
  };
  for (qsizetype i = 0; i < word.size(); ++i) {
    part += word[i];
    if (word[i].isPunct() && part.size() > 1 && i + 1 < word.size() && word[i + 1].isLetterOrNumber())
      addPart(), out += kBreak;
  }
  addPart();
  return out;
}

}  // namespace

QString Breakable(QString text, const QFontMetrics& m, int width) {
  text.replace('/', QString('/') + kBreak);
  QString out;
  qsizetype start = 0;
  for (qsizetype i = 0; i <= text.size(); ++i) {
    if (i < text.size() && !text[i].isSpace() && text[i] != kBreak) continue;
    out += BreakableWord(text.mid(start, i - start), m, width);
    if (i < text.size()) out += text[i];
    start = i + 1;
  }
  return out;
}

int QtTextMeasure::Width(const platform::FontSpec& font, std::string_view text) const {
  return QFontMetrics(MakeFont(font))
      .horizontalAdvance(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

int QtTextMeasure::WrappedHeight(const platform::FontSpec& font, std::string_view text, int width) const {
  const QFontMetrics m(MakeFont(font));
  const QString shown = Breakable(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())), m, width);
  return m.boundingRect(QRect(0, 0, width, 1 << 20), Qt::TextWordWrap | Qt::AlignHCenter, shown).height();
}

}  // namespace vantorel::qtview
