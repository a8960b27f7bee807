#include "platform/picture.h"

#include <algorithm>
#include <cctype>
#include <mutex>
#include <vector>

namespace {

struct FileEntry {
  std::string extension;  // upper case, without the dot
  TFileFormat format;
};

struct ClipboardEntry {
  WORD format;
  TGraphicClass graphicClass;
};

// The registries may be consulted from worker threads of the command line.
struct Registry {
  std::mutex mutex;
  std::vector<FileEntry> files;
  std::vector<ClipboardEntry> clipboard;
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

std::string NormalExtension(const std::string& extension) {
  std::string e = !extension.empty() && extension[0] == '.' ? extension.substr(1) : extension;
  std::transform(e.begin(), e.end(), e.begin(),
                 [](unsigned char c) { return char(std::toupper(c)); });
  return e;
}

}  // namespace

void TPicture::RegisterFileFormat(const std::string& extension, const std::string& description,
                                  TGraphicClass graphicClass) {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  r.files.push_back(FileEntry{NormalExtension(extension), TFileFormat{graphicClass, description}});
}

void TPicture::RegisterClipboardFormat(WORD format, TGraphicClass graphicClass) {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  r.clipboard.push_back(ClipboardEntry{format, graphicClass});
}

void TPicture::UnregisterGraphicClass(TGraphicClass graphicClass) {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  std::erase_if(r.files, [&](const FileEntry& e) { return e.format.graphicClass == graphicClass; });
  std::erase_if(r.clipboard,
                [&](const ClipboardEntry& e) { return e.graphicClass == graphicClass; });
}

TFileFormat TPicture::FileFormat(const std::string& extension) {
  const std::string wanted = NormalExtension(extension);
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  const auto it = std::find_if(r.files.rbegin(), r.files.rend(),
                               [&](const FileEntry& e) { return e.extension == wanted; });
  return it == r.files.rend() ? TFileFormat{} : it->format;
}

TGraphicClass TPicture::ClipboardFormatClass(WORD format) {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  const auto it = std::find_if(r.clipboard.rbegin(), r.clipboard.rend(),
                               [&](const ClipboardEntry& e) { return e.format == format; });
  return it == r.clipboard.rend() ? nullptr : it->graphicClass;
}
