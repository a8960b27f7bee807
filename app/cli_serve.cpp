#include "app/cli_serve.h"

#include <charconv>
#include <ostream>
#include <thread>

#include "app/cli_formats.h"
#include "app/cli_options.h"
#include "app/release.h"
#include "app/web/caption_server.h"

namespace {

const char kServeHelp[] =
    "Usage: nimbrel-cli serve [--listen ADDR:PORT] [--jobs N] [-q]\n"
    "\n"
    "Serves the caption page and its HTTP API. It prints 'Serving http://ADDR:PORT/' on\n"
    "standard error once it listens, then one line per request (method, path, status, time;\n"
    "never a caption's text). SIGTERM or SIGINT (Ctrl+C) stops it: requests in flight are\n"
    "answered, then it exits with status 0.\n"
    "\n"
    "  --listen ADDR:PORT  where to listen (default 127.0.0.1:8080; port 0 picks a free one;\n"
    "                      an IPv6 address goes in brackets, [::1]:8080)\n"
    "  -j, --jobs N        captions composed at once (default: every core)\n"
    "  -q, --quiet         no line per request\n"
    "  -h, --help          this help\n"
    "\n"
    "Routes:\n"
    "  GET  /                    the page: type a caption, see it, save it\n"
    "  POST /api/caption         JSON {\"title\", \"second\", \"description\", \"textColour\",\n"
    "                            \"outlineColour\" (#RRGGBB), \"format\" (png|bmp), \"strict\"};\n"
    "                            answers the picture, or with Accept: application/json\n"
    "                            {\"png\": base64, \"notices\": [...], \"description\": ...}\n"
    "  GET  /caption.png         the picture for ?title=&second=&description=&text=RRGGBB\n"
    "       /caption.bmp         &outline=RRGGBB, cacheable, with an ETag\n"
    "  GET  /healthz, /metrics   'ok'; counters in the Prometheus text format\n"
    "\n"
    "Limits: bodies up to 64 KiB, headers up to 16 KiB, a request must arrive within 5 s, a\n"
    "full work queue answers 503 with Retry-After. Errors answer {\"error\", \"field\"}.\n";

struct ListenAddress {
  std::string address;
  unsigned short port = 0;
};

ListenAddress ParseListen(const std::string& text) {
  const std::size_t colon = text.rfind(':');
  const auto bad = [&] {
    return CliUsageError("bad address '" + text + "' for --listen: expected ADDR:PORT");
  };
  if (colon == std::string::npos || colon == 0) throw bad();
  std::string address = text.substr(0, colon);
  if (address.front() == '[') {
    if (address.back() != ']' || address.size() < 3) throw bad();
    address = address.substr(1, address.size() - 2);
  }
  const std::string port = text.substr(colon + 1);
  unsigned value = 0;
  const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), value);
  if (port.empty() || error != std::errc() || end != port.data() + port.size() || value > 65535)
    throw bad();
  return {address, static_cast<unsigned short>(value)};
}

std::string UrlOf(const std::string& address, unsigned short port) {
  const bool v6 = address.find(':') != std::string::npos;
  return "http://" + (v6 ? "[" + address + "]" : address) + ":" + std::to_string(port) + "/";
}

int RunServe(const ParsedArguments& args, CliIo& io) {
  if (!args.positional.empty())
    throw CliUsageError("unexpected argument " + args.positional.front());
  ServeOptions options;
  const ListenAddress listen = ParseListen(args.Value("listen", "127.0.0.1:8080"));
  options.address = listen.address;
  options.port = listen.port;
  options.jobs = args.Has("jobs") ? ParseJobCount(args.Value("jobs"))
                                  : int(std::max(1u, std::thread::hardware_concurrency()));
  options.logRequests = !args.Has("quiet");
  CaptionServer server(options, CaptionApi(FormatNamed("bmp"), NIMBREL_VERSION));
  server.StopOnSignals();
  io.err << "Serving " << UrlOf(server.Address(), server.Port()) << std::endl;
  server.Run();
  return kExitOk;
}

}  // namespace

const CliCommand kServeCommand = {
    "serve", kServeHelp, {{"listen", 0, true}, {"jobs", 'j', true}}, RunServe};
