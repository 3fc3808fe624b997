// shiori-term: the terminal host. Loads the conversation library (and the
// translation library when the ghost has tables), hands it a ghost
// directory and lets a person talk to the ghost with short commands; owns
// the command table, the session loop and the display of every answer.
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "ghost_host.h"
#include "charset/iconv_charset.h"
#include "term/term_core.h"
#include "term/term_check.h"
#include "term/term_input.h"
#include "term/term_render.h"
#include "term/term_requests.h"
#include "term/term_session.h"

namespace {

constexpr char kDefaultDirectory[] = "examples/ghost/";
constexpr char kPrompt[] = "shiori> ";
constexpr char kRawPrompt[] = "raw> ";
constexpr char kDefaultCharset[] = "Shift_JIS";
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

#ifdef GHOST_SHIORI_LIBRARY
constexpr char kDefaultShiori[] = GHOST_SHIORI_LIBRARY;
#else
constexpr char kDefaultShiori[] = "";
#endif
#ifdef GHOST_MAKOTO_LIBRARY
constexpr char kDefaultMakoto[] = GHOST_MAKOTO_LIBRARY;
#else
constexpr char kDefaultMakoto[] = "";
#endif

constexpr char kUsage[] =
    "Usage: shiori-term [OPTIONS] [GHOSTDIR]\n"
    "\n"
    "Talks to a ghost without the real host: runs the conversation module\n"
    "(linked in, or the library --lib names), calls its load with GHOSTDIR\n"
    "(default: examples/ghost/), shows the ghost's OnLoad talk and then reads\n"
    "commands; type \"help\" at the prompt for them. It prints the seed of\n"
    "the module's random generator first: the same ghost, seed, clock and\n"
    "commands give the same session. When GHOSTDIR holds makoto0.nft or\n"
    "makoto1.nft (or --makoto is given) every talk also goes through the\n"
    "translation module (libmakoto.so), as a host does. Talk is shown as\n"
    "UTF-8 with the two speakers (\\h and \\u) on lines of their own.\n"
    "\n"
    "With a terminal, lines can be edited and recalled; otherwise standard\n"
    "input is read line by line, so `shiori-term < script.txt` runs a\n"
    "scripted session (each command is echoed after the prompt).\n"
    "\n"
    "Options:\n"
    "  --event LINE     send one event (name and references, as at the prompt,\n"
    "                   e.g. --event \"OnMouseDoubleClick 0 head\"), show the\n"
    "                   answer, unload and exit\n"
    "  --raw            show answers byte for byte, unconverted, with CR, LF\n"
    "                   and control bytes made visible; typed text is sent as\n"
    "                   typed\n"
    "  --makoto DIR     load the translation module with the tables of DIR\n"
    "  --no-makoto      never use the translation module\n"
    "  --check          show the dictionary checks at load also when standard\n"
    "                   input is no terminal (with one, they are always shown\n"
    "                   when the ghost has errors or warnings)\n"
    "  --seed N         seed the random generators with N (0 to 4294967295;\n"
    "                   default: from the clock, as the module does)\n"
    "  --clock \"YYYY-MM-DD hh:mm:ss\"  the time the module reads, fixed\n"
    "  --record FILE    write the seed, the clock and every line typed to FILE\n"
    "                   (the clock is fixed at the start time unless --clock\n"
    "                   is given)\n"
    "  --replay FILE    run a recorded session again: its seed, its clock and\n"
    "                   its lines, instead of standard input\n"
    "  --trace          after every answer, show why (as the why command)\n"
    "  --lib PATH       load the conversation library PATH through its exports\n"
    "                   instead of the linked-in module (no why, vars, seed or\n"
    "                   clock then); as a host does, GHOSTDIR goes to its loadu\n"
    "                   (the path as UTF-8) when it exports one and to load\n"
    "                   (the path in the system's code page) when it does not\n"
    "                   or when loadu refuses a path that is no UTF-8\n"
    "  --makoto-lib PATH  the translation library (default: the one built with\n"
    "                   this program)\n"
    "  --help           show this text\n"
    "\n"
    "Exit status: 0, also when the ghost answers with errors; 1 when GHOSTDIR\n"
    "or the --makoto directory does not exist or a library cannot be loaded;\n"
    "2 for a bad command line.\n"
    "The manual's page docs/debugging.md explains the options and commands.\n";

struct TOptions {
  std::string shiori_library = kDefaultShiori;
  std::string makoto_library = kDefaultMakoto;
  std::string directory = kDefaultDirectory;
  std::string makoto_directory;  // empty: the ghost directory, if it has tables
  std::string event;             // --event: the one event line to send
  bool event_given = false;
  bool raw = false;
  bool no_makoto = false;
  bool check = false;  // --check: the load-time checks in scripted sessions too
  bool help = false;
  bool library_given = false;  // --lib: through the exports, not the linked-in core
  bool seed_given = false;
  uint32_t seed = 0;
  TSessionClock clock;
  std::string record;  // --record FILE
  std::string replay;  // --replay FILE
  bool trace = false;
};

struct TSession {
  TShioriLibrary shiori;
  TMakotoLibrary makoto;
  bool translate = false;
  std::string tables_read;  // what the translation module read from each table
  std::string directory;
  std::string charset = kDefaultCharset;
  bool raw = false;
  bool check = false;
  TLineInput input;
  bool quit = false;
  TCoreWatch* watch = nullptr;  // the linked-in core's hooks; null with --lib
  bool trace = false;
  std::vector<std::string> replay;  // --replay: the lines still to run
  size_t replayed = 0;
  bool replaying = false;
  std::ofstream record;  // --record
};

// ---- Command line ----------------------------------------------------------

bool Reject(std::string& error, const std::string& message) {
  error = message;
  return false;
}

// The value of an option that takes one; false when it is missing.
bool OptionValue(int argc, char** argv, int& i, std::string& value, std::string& error) {
  if (i + 1 >= argc) return Reject(error, std::string(argv[i]) + " needs a value");
  value = argv[++i];
  return true;
}

// --seed, --clock, --record and --replay.
bool SessionOption(int argc, char** argv, int& i, TOptions& options, std::string& error) {
  const std::string argument = argv[i];
  std::string value;
  if (!OptionValue(argc, argv, i, value, error)) return false;
  if (argument == "--seed") {
    options.seed_given = ParseSeed(value, options.seed);
    return options.seed_given || Reject(error, "--seed needs a number from 0 to 4294967295");
  }
  if (argument == "--clock") {
    options.clock.fixed = ParseClock(value, options.clock.reading);
    return options.clock.fixed || Reject(error, "--clock needs \"YYYY-MM-DD hh:mm:ss\"");
  }
  (argument == "--record" ? options.record : options.replay) = value;
  return true;
}

bool ParseArguments(int argc, char** argv, TOptions& options, std::string& error) {
  bool directory_given = false;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    bool ok = true;
    if (argument == "--help" || argument == "-h") {
      options.help = true;
    } else if (argument == "--raw") {
      options.raw = true;
    } else if (argument == "--no-makoto") {
      options.no_makoto = true;
    } else if (argument == "--check") {
      options.check = true;
    } else if (argument == "--lib") {
      ok = OptionValue(argc, argv, i, options.shiori_library, error);
      options.library_given = true;
    } else if (argument == "--trace") {
      options.trace = true;
    } else if (argument == "--seed" || argument == "--clock" || argument == "--record" ||
               argument == "--replay") {
      ok = SessionOption(argc, argv, i, options, error);
    } else if (argument == "--makoto-lib") {
      ok = OptionValue(argc, argv, i, options.makoto_library, error);
    } else if (argument == "--makoto") {
      ok = OptionValue(argc, argv, i, options.makoto_directory, error);
    } else if (argument == "--event") {
      ok = OptionValue(argc, argv, i, options.event, error);
      options.event_given = true;
    } else if (argument.size() > 1 && argument[0] == '-') {
      return Reject(error, "unknown option: " + argument);
    } else if (directory_given) {
      return Reject(error, "more than one ghost directory given: " + argument);
    } else {
      options.directory = argument;
      directory_given = true;
    }
    if (!ok) return false;
  }
  if (options.event_given && SplitWords(options.event).empty()) {
    return Reject(error, "--event needs an event name");
  }
  const bool session_options = options.trace || options.seed_given || options.clock.fixed ||
                               !options.record.empty() || !options.replay.empty();
  if (options.library_given && session_options) {
    return Reject(error, "--seed, --clock, --record, --replay and --trace need the linked-in "
                         "module, not --lib");
  }
  return true;
}

// The modules append file names to their directory: keep the separator.
bool CheckDirectory(std::string& directory, const std::string& what, std::string& error) {
  std::error_code code;
  if (directory.empty() || !std::filesystem::is_directory(directory, code)) {
    return Reject(error, "no such " + what + ": " + directory);
  }
  if (directory.back() != '/') directory += '/';
  return true;
}

bool HasTables(const std::string& directory) {
  std::error_code code;
  return std::filesystem::exists(directory + "makoto0.nft", code) ||
         std::filesystem::exists(directory + "makoto1.nft", code);
}

// Opens the libraries the options ask for and loads the translation tables.
bool OpenLibraries(TOptions& options, TSession& session, std::string& error) {
  if (!options.library_given) {
    UseLinkedCore(session.shiori, *session.watch);
  } else if (!OpenShiori(options.shiori_library, session.shiori, error)) {
    return Reject(error, "cannot load the conversation library: " + error);
  }
  if (options.no_makoto) return true;
  std::string tables = options.makoto_directory;
  if (!tables.empty() && !CheckDirectory(tables, "--makoto directory", error)) return false;
  if (tables.empty() && HasTables(session.directory)) tables = session.directory;
  if (tables.empty()) return true;
  if (!OpenMakoto(options.makoto_library, session.makoto, error)) {
    return Reject(error, "cannot load the translation library: " + error +
                             " (--no-makoto goes without it)");
  }
  session.makoto.Load(tables);
  session.translate = true;
  session.tables_read = TablesRead(tables);
  return true;
}

// ---- Display ---------------------------------------------------------------

// Each line of `text` after the first is indented by `indent`.
std::string Indented(const std::string& text, const std::string& indent) {
  std::string out;
  for (const char c : text) {
    out += c;
    if (c == '\n') out += indent;
  }
  return out;
}

// The talk as the host plays it: after the translation module, when it is on.
std::string Translated(const TSession& session, const std::string& talk) {
  return session.translate ? session.makoto.Execute(talk).text : talk;
}

void ShowTalk(const TSession& session, const std::string& talk) {
  const std::string script = Translated(session, talk);
  const std::vector<TSpeech> speeches = SplitSpeakers(ToUtf8(script, session.charset));
  for (const TSpeech& speech : speeches) {
    std::cout << "  " << speech.speaker << " | "
              << Indented(VisibleControls(speech.text), "    | ") << "\n";
  }
}

void ShowRawResponse(const TSession& session, const std::string& response) {
  std::cout << VisibleBytes(response);
  if (response.empty() || response.back() != '\n') std::cout << "\n";
  const TResponse parsed = ParseResponse(response);
  const std::string talk = ResponseHeader(parsed, "Sentence");
  if (session.translate && !talk.empty()) {
    std::cout << "after makoto: " << VisibleBytes(Translated(session, talk)) << "\n";
  }
}

void ShowResponse(TSession& session, const std::string& response) {
  if (response.empty()) {
    std::cout << "(no response)\n";
    return;
  }
  const TResponse parsed = ParseResponse(response);
  const std::string charset = ResponseHeader(parsed, "Charset");
  if (!charset.empty()) session.charset = charset;
  if (session.raw) {
    ShowRawResponse(session, response);
    return;
  }
  std::cout << parsed.status << "\n";
  const bool charset_alone = parsed.headers.size() == 1;
  for (const TResponseHeader& header : parsed.headers) {
    if (header.name == "Charset" && !charset_alone) continue;
    if (header.name == "Sentence") {
      ShowTalk(session, header.value);
      continue;
    }
    const std::string value = VisibleControls(ToUtf8(header.value, session.charset));
    const std::string indent(4 + header.name.size(), ' ');
    std::cout << "  " << header.name << ": " << Indented(value, indent) << "\n";
  }
}

void Complain(const std::string& message) {
  std::cout << std::flush;
  std::cerr << "shiori-term: " << message << "\n" << std::flush;
}

// One request; the text of the answer. A block that breaks the module's
// contract (no NUL after it, a negative length) is reported besides.
std::string Ask(const TSession& session, const std::string& request) {
  const TResponseBlock response = session.shiori.Request(request);
  const std::string problem = RequestProblem(response);
  if (response.returned && !problem.empty()) Complain("the library's answer: " + problem);
  return response.text;
}

// The trace of the last answer, as `why` shows it.
std::string WhyText(const TSession& session) {
  return RenderTrace(session.watch->trace.root, WatchLabels(*session.watch, session.charset));
}

void ShowTrace(const TSession& session) {
  if (session.watch == nullptr || !session.trace) return;
  std::cout << "why:\n" << Indented("  " + WhyText(session), "  ");
  std::cout << "\n";
}

// One answer shown; the trace gathered anew for it.
void Send(TSession& session, const std::string& request) {
  if (session.watch != nullptr) ClearTrace(session.watch->trace);
  ShowResponse(session, Ask(session, request));
  ShowTrace(session);
  std::cout << std::flush;
}

// The next line typed (or replayed), recorded with --record; false at the end.
bool NextLine(TSession& session, const std::string& prompt, std::string& line) {
  if (session.replaying) {
    if (session.replayed >= session.replay.size()) return false;
    line = session.replay[session.replayed++];
  } else if (!ReadInputLine(session.input, prompt, line)) {
    return false;
  }
  if (session.record.is_open()) session.record << line << "\n" << std::flush;
  return true;
}

// ---- Commands --------------------------------------------------------------

// A typed line as the command sees it: `line` in the ghost's charset and
// its words.
struct TTyped {
  std::string line;
  std::vector<std::string> words;
};

using TCommandFunction = void (*)(TSession&, const TTyped&);

struct TCommand {
  const char* name;
  const char* usage;
  const char* summary;
  TCommandFunction run;
  size_t least_words;  // words needed after the command name
};

std::vector<std::string> WordsFrom(const TTyped& typed, size_t first) {
  if (first >= typed.words.size()) return {};
  return std::vector<std::string>(typed.words.begin() + static_cast<long>(first),
                                   typed.words.end());
}

void RunEvent(TSession& session, const TTyped& typed) {
  Send(session, EventRequest(typed.words[1], WordsFrom(typed, 2), false));
}

void RunExternal(TSession& session, const TTyped& typed) {
  Send(session, EventRequest(typed.words[1], WordsFrom(typed, 2), true));
}

void RunTalk(TSession& session, const TTyped& typed) {
  Send(session, TalkRequest(TextAfterWords(typed.line, 1)));
}

void RunWord(TSession& session, const TTyped& typed) {
  Send(session, WordRequest(typed.words[1]));
}

void RunWords(TSession& session, const TTyped& typed) {
  Send(session, WordsRequest(TextAfterWords(typed.line, 1)));
}

void RunReply(TSession& session, const TTyped& typed) {
  const std::string age = typed.words[2] == "-" ? std::string() : typed.words[2];
  Send(session, ReplyRequest(typed.words[1], age, TextAfterWords(typed.line, 3)));
}

void RunStatus(TSession& session, const TTyped&) { Send(session, StatusRequest()); }

void RunString(TSession& session, const TTyped& typed) {
  Send(session, StringRequest(typed.words[1]));
}

void RunTeach(TSession& session, const TTyped& typed) {
  Send(session, TeachRequest(WordsFrom(typed, 1)));
}

void RunOwner(TSession& session, const TTyped& typed) {
  Send(session, OwnerRequest(TextAfterWords(typed.line, 1)));
}

void RunOthers(TSession& session, const TTyped& typed) {
  std::vector<std::string> names;
  const std::string list = TextAfterWords(typed.line, 1);
  size_t start = 0;
  while (start <= list.size()) {
    const size_t comma = std::min(list.find(',', start), list.size());
    const std::string name = TextAfterWords(list.substr(start, comma - start), 0);
    if (!name.empty()) names.push_back(name);
    start = comma + 1;
  }
  Send(session, OthersRequest(names));
}

void RunVersion(TSession& session, const TTyped&) { Send(session, VersionRequest()); }

// Reads request lines up to an empty line (or the end of input) and sends
// them; `first` is a request line already typed, or empty.
void SendRawRequest(TSession& session, const std::string& first) {
  std::vector<std::string> lines;
  if (!first.empty()) lines.push_back(first);
  std::string line;
  while (NextLine(session, kRawPrompt, line) && !line.empty()) {
    if (!session.input.interactive) std::cout << kRawPrompt << line << "\n";
    lines.push_back(line);
  }
  if (lines.empty()) {
    std::cout << "(nothing sent)\n";
    return;
  }
  Send(session, RawRequest(lines));
}

void RunRaw(TSession& session, const TTyped&) { SendRawRequest(session, std::string()); }

void RunVars(TSession& session, const TTyped&) {
  if (session.watch != nullptr) {
    std::cout << "Formula variables:\n" << ListedVariables(session.charset);
  } else {
    std::cout << "The formula variables live inside the library, which exports only load,\n"
                 "request and unload: the terminal cannot list them.\n";
  }
  std::cout << "Saved values (" << session.directory << "values.dat):\n";
  std::ifstream file(session.directory + "values.dat", std::ios::binary);
  const std::string saved((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (saved.empty()) std::cout << "  (none)\n";
  size_t start = 0;
  while (start < saved.size()) {
    const size_t end = std::min(saved.find("\r\n", start), saved.size());
    const std::string line = saved.substr(start, end - start);
    std::cout << "  " << VisibleControls(ToUtf8(line, session.charset)) << "\n";
    start = end + 2;
  }
  std::cout << std::flush;
}

void RunWhy(TSession& session, const TTyped&) {
  if (session.watch == nullptr) {
    return Complain("why needs the linked-in module (not --lib)");
  }
  std::cout << WhyText(session) << std::flush;
}

void RunQuit(TSession& session, const TTyped&) { session.quit = true; }

void RunCheck(TSession& session, const TTyped&) {
  ApartFromTheCore([&session] { ShowAllChecks(session.directory, std::cout); });
}

void RunHelp(TSession& session, const TTyped& typed);

const TCommand kCommands[] = {
    {"event", "event NAME [REF...]", "an event with up to eight references", RunEvent, 1},
    {"talk", "talk [WORD]", "random talk; with a word, the talk that word carries", RunTalk, 0},
    {"word", "word TYPE", "a word of a category, e.g. word \\tool, word \\m?, word \\dms",
     RunWord, 1},
    {"words", "words SENTENCE", "the dictionary words found in a sentence", RunWords, 1},
    {"reply", "reply SENDER AGE SENTENCE",
     "another character says SENTENCE (AGE a number, or - for none)", RunReply, 3},
    {"status", "status", "the status line", RunStatus, 0},
    {"string", "string ID", "the string of an id, e.g. string homepage", RunString, 1},
    {"teach", "teach REF...", "a TEACH request; \"quote two words\" as one reference", RunTeach,
     0},
    {"owner", "owner NAME", "tells the module its own character's name", RunOwner, 1},
    {"others", "others NAME[,NAME...]", "tells it who else is there (it may greet one)",
     RunOthers, 1},
    {"external", "external EVENT [REF...]", "the event as a request from outside the host",
     RunExternal, 1},
    {"raw", "raw", "type a whole request, an empty line sends it", RunRaw, 0},
    {"version", "version", "GET Version", RunVersion, 0},
    {"vars", "vars", "the formula variables and the saved values", RunVars, 0},
    {"why", "why", "how the last answer came about: candidates, conditions, draws, words",
     RunWhy, 0},
    {"check", "check", "the dictionary checks of shiori-check, every finding", RunCheck, 0},
    {"help", "help", "this list", RunHelp, 0},
    {"quit", "quit", "unload the module (fires OnUnload) and leave; also exit or end of input",
     RunQuit, 0},
};

void RunHelp(TSession&, const TTyped&) {
  std::cout << "Commands:\n"
            << "  OnEventName [REF...]        an event, e.g. OnMouseDoubleClick 0 head\n";
  for (const TCommand& command : kCommands) {
    std::string usage = command.usage;
    usage.resize(std::max<size_t>(usage.size() + 1, 28), ' ');
    std::cout << "  " << usage << command.summary << "\n";
  }
  std::cout << "  GET ... / NOTIFY ... / TEACH ...  a request typed whole (as raw)\n"
            << "Typed text is sent in the ghost's charset; answers are shown in UTF-8.\n"
            << "The OnLoad talk shown at the start is the one load made.\n"
            << "The manual's page docs/debugging.md explains every command.\n"
            << std::flush;
}

const TCommand* FindCommand(const std::string& name) {
  for (const TCommand& command : kCommands) {
    if (name == command.name) return &command;
  }
  if (name == "exit") return FindCommand("quit");
  return nullptr;
}

bool IsRequestLine(const std::string& word) {
  return word == "GET" || word == "NOTIFY" || word == "TEACH";
}

// The typed line in the ghost's charset (as typed with --raw, or when a
// character has no form in that charset).
TTyped Typed(const TSession& session, const std::string& line) {
  TTyped typed;
  typed.line = line;
  std::string converted;
  if (!session.raw && FromUtf8(line, session.charset, converted)) typed.line = converted;
  typed.words = SplitWords(typed.line);
  return typed;
}

void RunLine(TSession& session, const std::string& line) {
  TTyped typed = Typed(session, line);
  if (typed.words.empty()) return;
  const std::string& name = typed.words[0];
  if (IsRequestLine(name)) return SendRawRequest(session, typed.line);
  if (name.size() > 2 && name.compare(0, 2, "On") == 0) {
    typed.words.insert(typed.words.begin(), "event");
    return RunEvent(session, typed);
  }
  const TCommand* command = FindCommand(name);
  if (command == nullptr) {
    return Complain("unknown command: " + line + " (\"help\" lists the commands)");
  }
  if (typed.words.size() < command->least_words + 1) {
    return Complain("usage: " + std::string(command->usage));
  }
  command->run(session, typed);
}

// ---- Session ---------------------------------------------------------------

// The OnLoad talk of load itself, from its trace, shown as an answer.
void ShowLoadTalk(TSession& session, const TTraceNode& load_trace) {
  std::string talk;
  TopEventTalk(load_trace, "OnLoad", talk);
  std::cout << (talk.empty() ? "204 No Content\n" : "200 OK\n");
  if (!talk.empty()) ShowTalk(session, talk);
  ShowTrace(session);
  std::cout << std::flush;
}

void Start(TSession& session) {
  // A scripted session's transcript stays as it is unless --check asks.
  if (session.check || session.input.interactive) {
    ApartFromTheCore([&session] { ShowLoadChecks(session.directory, std::cout); });
  }
  if (session.watch != nullptr) ClearTrace(session.watch->trace);
  session.shiori.LoadAsHostsDo(session.directory);
  TTraceNode load_trace;
  if (session.watch != nullptr) load_trace = session.watch->trace.root;
  const TResponse version = ParseResponse(Ask(session, VersionRequest()));
  const std::string charset = ResponseHeader(version, "Charset");
  if (!charset.empty()) session.charset = charset;
  std::cout << "shiori-term: loaded " << session.directory << " (charset " << session.charset
            << (session.translate ? ", translation tables on: " + session.tables_read : "")
            << ")\n";
  if (!session.raw && !KnownCharset(session.charset)) {
    std::cout << "shiori-term: no conversion known from " << session.charset
              << "; texts are shown as they are\n";
  }
  std::cout << kPrompt << "OnLoad\n";
  if (session.watch == nullptr) return Send(session, EventRequest("OnLoad", {}, false, "Self"));
  session.watch->trace.root = std::move(load_trace);
  ShowLoadTalk(session, session.watch->trace.root);
}

void Converse(TSession& session) {
  if (session.input.interactive) {
    std::cout << "Type \"help\" for the commands, \"quit\" to leave.\n" << std::flush;
  }
  std::string line;
  while (!session.quit && NextLine(session, kPrompt, line)) {
    if (!session.input.interactive) std::cout << kPrompt << line << "\n";
    RunLine(session, line);
    std::cout << std::flush;
  }
  session.shiori.Unload();
  std::cout << "shiori-term: unloaded\n" << std::flush;
}

void SendOneEvent(TSession& session, const std::string& event_line) {
  session.shiori.LoadAsHostsDo(session.directory);
  const TTyped typed = Typed(session, event_line);
  Send(session, EventRequest(typed.words[0], WordsFrom(typed, 1), false));
  session.shiori.Unload();
}

void Finish(TSession& session) {
  if (session.translate) session.makoto.Unload();
  CloseMakoto(session.makoto);
  CloseShiori(session.shiori);
}

int Fail(const std::string& message, int status) {
  std::cerr << "shiori-term: " << message << "\n";
  return status;
}

}  // namespace

// The seed and clock of the session (from the options, the replayed file or
// the clock), fixed in the linked-in core and in the C library's generator
// the translation module draws from; printed, so the session can be rerun.
bool PrepareSession(TOptions& options, TSession& session, std::string& error) {
  TRecordedSession recorded;
  if (!options.replay.empty()) {
    if (!ReadSession(options.replay, recorded, error)) return false;
    if (!options.seed_given) options.seed = recorded.seed;
    if (!options.clock.fixed) options.clock = recorded.clock;
    session.replay = std::move(recorded.lines);
    session.replaying = true;
    session.input.interactive = false;
  } else if (!options.seed_given) {
    options.seed = SeedFromClock();
  }
  if (!options.record.empty() && !options.clock.fixed) {
    options.clock = TSessionClock{true, ClockNow()};
  }
  PrepareCore(options.seed, options.clock, *session.watch);
  std::srand(options.seed);
  session.trace = options.trace;
  // With --event the answer stays alone: --seed and --clock say it all.
  if (!options.event_given) {
    std::cout << "shiori-term: seed " << options.seed << "\n";
    if (options.clock.fixed) {
      std::cout << "shiori-term: clock " << ClockText(options.clock.reading) << "\n";
    }
  }
  if (options.record.empty()) return true;
  session.record.open(options.record, std::ios::binary | std::ios::trunc);
  if (!session.record) return Reject(error, "cannot write the session file " + options.record);
  session.record << SessionHeader(options.seed, options.clock) << std::flush;
  return true;
}

int main(int argc, char** argv) {
  TOptions options;
  std::string error;
  if (!ParseArguments(argc, argv, options, error)) {
    return Fail(error + "\n\n" + kUsage, kExitUsage);
  }
  if (options.help) {
    std::cout << kUsage;
    return kExitOk;
  }
  TSession session;
  session.raw = options.raw;
  session.check = options.check;
  session.directory = options.directory;
  if (!CheckDirectory(session.directory, "ghost directory", error)) {
    return Fail(error, kExitFailure);
  }
  TCoreWatch watch;
  if (!options.library_given) session.watch = &watch;
  if (!OpenLibraries(options, session, error)) return Fail(error, kExitFailure);
  session.input = OpenLineInput();
  if (session.watch != nullptr && !PrepareSession(options, session, error)) {
    Finish(session);
    return Fail(error, kExitFailure);
  }
  try {
    if (options.event_given) {
      SendOneEvent(session, options.event);
    } else {
      Start(session);
      Converse(session);
    }
  } catch (const std::exception& e) {
    Finish(session);
    return Fail(e.what(), kExitFailure);
  }
  Finish(session);
  return kExitOk;
}
