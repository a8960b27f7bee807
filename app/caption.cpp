#include "app/caption.h"

#include "app/cli_string_window.h"
#include "app/composer.h"
#include "app/save_command.h"

ComposedCaption ComposeCaption(const CaptionInputs& inputs, TGraphicClass format) {
  ComposedCaption caption;
  TStringCaptionWindow window([&](const AnsiString& text) { caption.notices.push_back(text); });
  TCaptionComposer composer(window);
  window.SetFontColor(inputs.textColour);
  window.SetBorderColor(inputs.outlineColour);
  window.Title = inputs.title;
  window.SecondLine = inputs.secondLine;
  composer.FormCreate();
  // The description arrives as if typed: the key release runs the width guard and the draw
  // command, which drops the lines past the limit.
  window.Description = inputs.description;
  composer.Memo1KeyUp();
  caption.bytes = CaptionBytes(window.Picture(), format);
  const int drawn = window.DescriptionLineCount();
  caption.description = std::move(window.Description);
  caption.description.resize(std::size_t(drawn));
  return caption;
}
