// The caption routes: POST /api/caption with a JSON body, and GET /caption.png and /caption.bmp
// with the inputs in the query, the address sites put in an <img>. Parsing and checking run on
// the connection's thread and answer at once; composing runs on a pool thread (AnswerCaption).
#pragma once

#include <string>
#include <string_view>
#include <variant>

#include "app/caption.h"
#include "app/web/web_answer.h"

struct CaptionJob {
  CaptionInputs inputs;
  bool bmp = false;     // image/bmp rather than image/png
  bool json = false;    // {"png": base64, "notices", "description"} rather than the bytes
  bool strict = false;  // a caption the window would cut is refused (422)
  std::string etag;     // the cacheable GET form's strong validator
};

using CaptionRequest = std::variant<CaptionJob, WebAnswer>;

class CaptionApi {
 public:
  // bmpFormat: the registered class that writes BMP files. version goes into every ETag, so a
  // new release never claims an old picture.
  CaptionApi(TGraphicClass bmpFormat, std::string version);

  // The JSON form: 415 unless the body is JSON, 400 for malformed JSON, a wrong type or a colour
  // that is not #RRGGBB, 422 for text Shift_JIS cannot express.
  CaptionRequest ParsePost(std::string_view body, std::string_view contentType,
                           std::string_view accept) const;
  // The query form (title, second, description, text, outline as RRGGBB); answers 304 at once
  // when ifNoneMatch names this caption's ETag.
  CaptionRequest ParseQuery(std::string_view query, bool bmp, std::string_view ifNoneMatch) const;
  // Composes the caption and answers it as the job asks: the bytes, or the JSON form, or 422
  // when a strict caption would be cut.
  WebAnswer Answer(const CaptionJob& job) const;

 private:
  TGraphicClass bmpFormat_;
  std::string version_;
};

// Base64 with padding, as data: URLs and JSON carry bytes.
std::string Base64(std::string_view bytes);
