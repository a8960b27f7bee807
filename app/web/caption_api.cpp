#include "app/web/caption_api.h"

#include <nlohmann/json.hpp>

#include <array>
#include <cstdint>
#include <optional>
#include <tuple>

#include "app/caption_text.h"
#include "app/cli_string_window.h"
#include "app/colour_names.h"
#include "app/web/http_fields.h"

namespace {

using Json = nlohmann::json;

constexpr char kJsonType[] = "application/json";
constexpr char kPngType[] = "image/png";
constexpr char kBmpType[] = "image/bmp";
// A caption's address names its picture for good: the same inputs and release draw the same
// bytes, so caches may keep the answer as long as they like.
constexpr char kImmutable[] = "public, max-age=31536000, immutable";
constexpr char kNoStore[] = "no-store";

// RRGGBB, with or without a '#' before it.
std::optional<COLORREF> RrggbbColour(std::string_view text) {
  if (!text.empty() && text.front() == '#') text.remove_prefix(1);
  return HexColour(text);
}

// 64-bit FNV-1a over length-prefixed parts, so that ("ab", "c") and ("a", "bc") differ.
class EtagHash {
 public:
  void Add(std::string_view part) {
    AddBytes(std::to_string(part.size()) + ":");
    AddBytes(part);
  }
  std::string Quoted() const {
    static const char kDigits[] = "0123456789abcdef";
    std::string text = "\"";
    for (int shift = 60; shift >= 0; shift -= 4) text += kDigits[(hash_ >> shift) & 0xF];
    return text + "\"";
  }

 private:
  void AddBytes(std::string_view bytes) {
    for (const char c : bytes) hash_ = (hash_ ^ std::uint8_t(c)) * 0x100000001B3ull;
  }
  std::uint64_t hash_ = 0xCBF29CE484222325ull;
};

// The texts as they arrived, before conversion: what the ETag and the conversion both read.
struct RawInputs {
  std::string title, second, description;
  COLORREF text = clWhite, outline = clBlack;
};

// Converts the texts; 422 naming the field and the character when one cannot be drawn.
CaptionRequest Convert(const RawInputs& raw, CaptionJob job) {
  try {
    job.inputs.title = ConvertInput(raw.title, "title");
    job.inputs.secondLine = ConvertInput(raw.second, "second");
    job.inputs.description = ConvertDescription(raw.description);
  } catch (const CaptionTextError& e) {
    return ErrorAnswer(422, e.what(), e.Field());
  }
  job.inputs.textColour = raw.text;
  job.inputs.outlineColour = raw.outline;
  return job;
}

// Reads an optional string member into out; 400 when it is there with another type.
std::optional<WebAnswer> ReadString(const Json& body, const char* key, std::string& out) {
  const auto found = body.find(key);
  if (found == body.end() || found->is_null()) return std::nullopt;
  if (!found->is_string()) return ErrorAnswer(400, std::string(key) + " must be a string", key);
  out = found->get<std::string>();
  return std::nullopt;
}

std::optional<WebAnswer> ReadColour(const Json& body, const char* key, COLORREF& out) {
  std::string text;
  if (auto error = ReadString(body, key, text)) return error;
  if (text.empty()) return std::nullopt;
  const std::optional<COLORREF> colour = text.front() == '#' ? RrggbbColour(text) : std::nullopt;
  if (!colour) return ErrorAnswer(400, std::string(key) + " must be a colour #RRGGBB", key);
  out = *colour;
  return std::nullopt;
}

std::optional<WebAnswer> ReadPostFields(const Json& body, RawInputs& raw, CaptionJob& job) {
  std::string format;
  if (auto e = ReadString(body, "title", raw.title)) return e;
  if (auto e = ReadString(body, "second", raw.second)) return e;
  if (auto e = ReadString(body, "description", raw.description)) return e;
  if (auto e = ReadColour(body, "textColour", raw.text)) return e;
  if (auto e = ReadColour(body, "outlineColour", raw.outline)) return e;
  if (auto e = ReadString(body, "format", format)) return e;
  if (format != "" && format != "png" && format != "bmp")
    return ErrorAnswer(400, "format must be \"png\" or \"bmp\"", "format");
  job.bmp = format == "bmp";
  const auto strict = body.find("strict");
  if (strict != body.end() && !strict->is_null()) {
    if (!strict->is_boolean()) return ErrorAnswer(400, "strict must be true or false", "strict");
    job.strict = strict->get<bool>();
  }
  return std::nullopt;
}

Json NoticeList(const std::vector<AnsiString>& notices) {
  Json list = Json::array();
  for (const AnsiString& notice : notices) list.push_back(MessageUtf8(notice));
  return list;
}

std::string JoinLines(const std::vector<AnsiString>& lines) {
  std::string text;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) text += '\n';
    text += MessageUtf8(lines[i]);
  }
  return text;
}

std::string Dump(const Json& json) {
  return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace

WebAnswer ErrorAnswer(unsigned status, const std::string& message, const std::string& field) {
  Json body = {{"error", message}};
  if (!field.empty()) body["field"] = field;
  return {status, kJsonType, Dump(body), {{"Cache-Control", kNoStore}}};
}

CaptionApi::CaptionApi(TGraphicClass bmpFormat, std::string version)
    : bmpFormat_(bmpFormat), version_(std::move(version)) {}

CaptionRequest CaptionApi::ParsePost(std::string_view body, std::string_view contentType,
                                     std::string_view accept) const {
  if (!IsMediaType(contentType, kJsonType))
    return ErrorAnswer(415, "the body must be JSON, sent as Content-Type: application/json");
  const Json json = Json::parse(body, nullptr, false);
  if (json.is_discarded()) return ErrorAnswer(400, "the body is not well-formed JSON");
  if (!json.is_object()) return ErrorAnswer(400, "the body must be a JSON object");
  RawInputs raw;
  CaptionJob job;
  if (auto error = ReadPostFields(json, raw, job)) return *error;
  job.json = AcceptsMediaType(accept, kJsonType);
  return Convert(raw, std::move(job));
}

CaptionRequest CaptionApi::ParseQuery(std::string_view query, bool bmp,
                                      std::string_view ifNoneMatch) const {
  RawInputs raw;
  std::string text, outline;
  struct Field {
    const char* name;
    std::string* value;
  };
  const std::array<Field, 5> fields = {{{"title", &raw.title},
                                        {"second", &raw.second},
                                        {"description", &raw.description},
                                        {"text", &text},
                                        {"outline", &outline}}};
  for (const QueryParameter& parameter : SplitQuery(query)) {
    for (const Field& field : fields) {
      if (parameter.name != field.name) continue;
      const std::optional<std::string> value = DecodeQueryComponent(parameter.value);
      if (!value)
        return ErrorAnswer(400, std::string(field.name) + " is not well percent-encoded",
                           field.name);
      *field.value = *value;
    }
  }
  for (const auto& [value, colour, name] :
       {std::tuple{&text, &raw.text, "text"}, std::tuple{&outline, &raw.outline, "outline"}}) {
    if (value->empty()) continue;
    const std::optional<COLORREF> parsed = RrggbbColour(*value);
    if (!parsed) return ErrorAnswer(400, std::string(name) + " must be a colour RRGGBB", name);
    *colour = *parsed;
  }

  CaptionJob job;
  job.bmp = bmp;
  EtagHash hash;
  for (const std::string& part :
       {version_, raw.title, raw.second, raw.description, std::to_string(raw.text),
        std::to_string(raw.outline), std::string(bmp ? "bmp" : "png")})
    hash.Add(part);
  job.etag = hash.Quoted();
  if (EtagMatches(ifNoneMatch, job.etag))
    return WebAnswer{304, "", "", {{"ETag", job.etag}, {"Cache-Control", kImmutable}}};
  return Convert(raw, std::move(job));
}

WebAnswer CaptionApi::Answer(const CaptionJob& job) const {
  const ComposedCaption caption = ComposeCaption(job.inputs, job.bmp ? bmpFormat_ : nullptr);
  if (job.strict && caption.Cut()) {
    WebAnswer refused = ErrorAnswer(422, "the caption would be cut to fit (strict)", "description");
    Json body = Json::parse(refused.body);
    body["notices"] = NoticeList(caption.notices);
    refused.body = Dump(body);
    return refused;
  }
  const std::string_view bytes(reinterpret_cast<const char*>(caption.bytes.data()),
                               caption.bytes.size());
  if (job.json) {
    const Json body = {{job.bmp ? "bmp" : "png", Base64(bytes)},
                       {"notices", NoticeList(caption.notices)},
                       {"description", JoinLines(caption.description)}};
    return {200, kJsonType, Dump(body), {{"Cache-Control", kNoStore}}};
  }
  WebAnswer answer{200, job.bmp ? kBmpType : kPngType, std::string(bytes), {}};
  if (job.etag.empty()) {
    answer.headers.push_back({"Cache-Control", kNoStore});
  } else {
    answer.headers.push_back({"ETag", job.etag});
    answer.headers.push_back({"Cache-Control", kImmutable});
  }
  return answer;
}

std::string Base64(std::string_view bytes) {
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string text;
  text.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t left = bytes.size() - i;
    std::uint32_t group = std::uint32_t(std::uint8_t(bytes[i])) << 16;
    if (left > 1) group |= std::uint32_t(std::uint8_t(bytes[i + 1])) << 8;
    if (left > 2) group |= std::uint8_t(bytes[i + 2]);
    text += kAlphabet[group >> 18];
    text += kAlphabet[(group >> 12) & 63];
    text += left > 1 ? kAlphabet[(group >> 6) & 63] : '=';
    text += left > 2 ? kAlphabet[group & 63] : '=';
  }
  return text;
}
