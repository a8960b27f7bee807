// Keeps text that code page 932 cannot hold out of the window's fields. The picture is drawn from
// Shift_JIS strings, so such a character would come out as a wrong glyph; it is refused as it
// arrives instead (typed, committed by the input method, pasted or dropped) and the window says
// which character it was.
#pragma once

#include <QValidator>
#include <optional>

// The first character of text without a code page 932 form (a lone surrogate counts as one).
std::optional<char32_t> FirstUnencodable(const QString& text);
// The message that names a refused character.
QString RefusedCharacterMessage(char32_t character);

// For the line edits: an edit whose result holds such a character is rejected as a whole.
class TSjisValidator : public QValidator {
  Q_OBJECT
 public:
  using QValidator::QValidator;
  State validate(QString& input, int& pos) const override;

 signals:
  void refused(uint character) const;
};
