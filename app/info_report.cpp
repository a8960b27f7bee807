#include "app/info_report.h"

#include <cstdio>
#include <ostream>

#include "app/cp932_scan.h"
#include "app/png_chunk_walk.h"
#include "app/utf8_text.h"

namespace {

std::string Hex(COLORREF colour) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02X%02X%02X", GetRValue(colour), GetGValue(colour),
                GetBValue(colour));
  return text;
}

std::string GammaNumber(DWORD gamma) {
  char text[24];
  std::snprintf(text, sizeof text, "%.5f", gamma / 100000.0);
  return text;
}

// Bytes that are not UTF-8 written as \xNN, which a JSON string can carry.
std::string EscapeInvalidBytes(std::string_view text) {
  std::string out;
  for (std::size_t at = 0; at < text.size();) {
    const Utf8Char c = DecodeUtf8(text, at);
    if (c.valid) {
      out.append(text.substr(at, c.length));
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(text[at]));
      out += escaped;
    }
    at += c.length;
  }
  return out;
}

// ---- text

std::string KeyText(const std::optional<ColourKeyFact>& key) {
  if (!key) return "none";
  std::string text = Hex(key->colour);
  if (key->index >= 0) text += " (palette index " + std::to_string(key->index) + ")";
  return text;
}

const char* AlphaText(const std::optional<std::string>& alpha) {
  if (!alpha) return "none or per pixel (--verify tells)";
  if (*alpha == "table") return "per palette entry";
  return *alpha == "pixel" ? "per pixel" : "none";
}

std::string ResolutionText(const ImageFacts& facts) {
  const std::string size =
      std::to_string(facts.resolutionX) + " x " + std::to_string(facts.resolutionY);
  const std::string unit = facts.resolutionUnit;
  if (unit == "none") return size + " (aspect ratio only)";
  return size + " pixels per " + unit;
}

std::string TextBlock(const ImageFacts& facts) {
  if (facts.text.empty()) return " none\n";
  std::string block = "\n";
  for (const TextFact& entry : facts.text)
    block += "  " + TerminalText(Cp932ToUtf8KeepingBadBytes(entry.keyword)) + ": " +
             TerminalText(Cp932ToUtf8KeepingBadBytes(entry.text)) + "\n";
  return block;
}

// The chunk types in order, a run of one type counted: "IHDR PLTE IDAT×3 IEND".
std::string ChunkLine(const ImageFacts& facts) {
  std::string line;
  for (std::size_t i = 0; i < facts.chunks.size();) {
    std::size_t run = 1;
    while (i + run < facts.chunks.size() && facts.chunks[i + run].type == facts.chunks[i].type)
      ++run;
    line.append(" ").append(ChunkTypeName(facts.chunks[i].type));
    if (run > 1) line.append("×").append(std::to_string(run));
    i += run;
  }
  return line;
}

// ---- JSON

std::string JsonText(const std::string& bytes) {
  return JsonString(EscapeInvalidBytes(Cp932ToUtf8KeepingBadBytes(bytes)));
}

std::string JsonKey(const std::optional<ColourKeyFact>& key) {
  if (!key) return "null";
  return "{\"colour\": \"" + Hex(key->colour) +
         "\", \"index\": " + (key->index >= 0 ? std::to_string(key->index) : "null") + "}";
}

std::string JsonTextList(const ImageFacts& facts) {
  std::string list;
  for (const TextFact& entry : facts.text)
    list += std::string(list.empty() ? "" : ", ") + "{\"keyword\": " + JsonText(entry.keyword) +
            ", \"text\": " + JsonText(entry.text) + "}";
  return "[" + list + "]";
}

std::string JsonChunkList(const ImageFacts& facts) {
  std::string list;
  for (const ChunkFact& chunk : facts.chunks)
    list += std::string(list.empty() ? "" : ", ") +
            "{\"type\": " + JsonString(ChunkTypeName(chunk.type)) +
            ", \"length\": " + std::to_string(chunk.length) +
            ", \"offset\": " + std::to_string(chunk.offset) + "}";
  return "[" + list + "]";
}

}  // namespace

void PrintFactsText(const ImageFacts& facts, std::ostream& out) {
  out << "format: " << facts.format << "\n";
  out << "size: " << facts.width << " x " << facts.height << "\n";
  out << "bit count: " << facts.bitCount << "\n";
  out << "colour type: " << facts.colourType.value_or("rgb or rgb+alpha (--verify tells)") << ", "
      << facts.bitDepth << " bits per sample" << (facts.interlaced ? ", interlaced" : "") << "\n";
  if (facts.paletteSize) out << "palette entries: " << *facts.paletteSize << "\n";
  out << "transparent colour: " << KeyText(facts.transparent) << "\n";
  out << "background colour: " << KeyText(facts.background) << "\n";
  out << "alpha: " << AlphaText(facts.alpha) << "\n";
  out << "resolution: " << ResolutionText(facts) << "\n";
  out << "gamma: " << (facts.gamma == 0 ? "none" : GammaNumber(facts.gamma)) << "\n";
  // The reader keeps offsets only when the file gives them in pixels.
  out << "offset: " << facts.offsetX << ", " << facts.offsetY << " pixels\n";
  if (facts.leadingBlock) out << "leading block: 256 bytes before the PNG signature\n";
  out << "text:" << TextBlock(facts);
  if (!facts.chunks.empty()) out << "chunks:" << ChunkLine(facts) << "\n";
}

void PrintFactsJson(const ImageFacts& facts, const std::string& fileName, std::ostream& out) {
  out << "{\"file\": " << JsonString(fileName) << ", \"format\": \"" << facts.format
      << "\", \"width\": " << facts.width << ", \"height\": " << facts.height
      << ", \"bitCount\": " << facts.bitCount;
  if (facts.colourType) out << ", \"colourType\": \"" << *facts.colourType << "\"";
  out << ", \"bitDepth\": " << facts.bitDepth
      << ", \"interlaced\": " << (facts.interlaced ? "true" : "false");
  if (facts.paletteSize) out << ", \"paletteSize\": " << *facts.paletteSize;
  out << ", \"transparent\": " << JsonKey(facts.transparent)
      << ", \"background\": " << JsonKey(facts.background);
  if (facts.alpha) out << ", \"alpha\": \"" << *facts.alpha << "\"";
  out << ", \"resolution\": {\"x\": " << facts.resolutionX << ", \"y\": " << facts.resolutionY
      << ", \"unit\": \"" << facts.resolutionUnit
      << "\"}, \"gamma\": " << (facts.gamma == 0 ? "null" : GammaNumber(facts.gamma))
      << ", \"offset\": {\"x\": " << facts.offsetX << ", \"y\": " << facts.offsetY
      << ", \"unit\": \"pixels\"}, \"text\": " << JsonTextList(facts);
  if (facts.format == std::string("PNG")) out << ", \"chunks\": " << JsonChunkList(facts);
  out << "}\n";
}

void PrintErrorJson(const std::string& fileName, const std::string& error, std::ostream& out) {
  out << "{\"file\": " << JsonString(fileName) << ", \"error\": " << JsonString(error) << "}\n";
}
