#include "app/window/sjis_input.h"

#include "platform/ansi_string.h"
#include "platform/exception.h"

namespace {

bool Encodable(std::u16string_view text) {
  try {
    AnsiString::FromUtf16(text);
    return true;
  } catch (const EConvertError&) {
    return false;
  }
}

}  // namespace

std::optional<char32_t> FirstUnencodable(const QString& text) {
  const std::u16string whole = text.toStdU16String();
  if (Encodable(whole)) return std::nullopt;
  // Only a refused text pays for the search character by character.
  for (qsizetype i = 0; i < text.size();) {
    const qsizetype length =
        text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate() ? 2 : 1;
    const std::u16string_view one(whole.data() + i, std::size_t(length));
    if (!Encodable(one)) {
      return length == 2 ? QChar::surrogateToUcs4(text[i], text[i + 1])
                         : char32_t(text[i].unicode());
    }
    i += length;
  }
  return std::nullopt;
}

QString RefusedCharacterMessage(char32_t character) {
  const QString code = QString::number(uint(character), 16).toUpper().rightJustified(4, u'0');
  return QStringLiteral("「%1」(U+%2) は Shift_JIS で表せない文字のため入力できません")
      .arg(QString::fromUcs4(&character, 1), code);
}

QValidator::State TSjisValidator::validate(QString& input, int&) const {
  const auto bad = FirstUnencodable(input);
  if (!bad) return Acceptable;
  emit refused(uint(*bad));
  return Invalid;
}
