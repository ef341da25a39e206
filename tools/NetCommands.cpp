#include "tools/NetCommands.h"

#include "base/EventLoop.h"
#include "engine/WMLBrowser.h"
#include "images/Wbmp.h"
#include "net/HttpProt.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <memory>
#include <optional>
#include <ostream>
#include <sys/stat.h>
#include <unistd.h>

#include "tools/CliArgs.h"
#include "tools/CliCommands.h"

namespace pivrel::tools {

namespace {

    using engine::TWMLBrowser;

    // A timeout longer than this is taken for a mistake rather than waited for.
    constexpr double kMaxTimeoutSeconds = 24 * 60 * 60;

    constexpr std::string_view kStatusConnecting = "Connecting...";

    std::vector<std::unique_ptr<TWMLBrowser>>& KeptBrowsers()
    {
        // Reachable until the end, so no leak checker counts what is left standing on purpose.
        static auto* const browsers = new std::vector<std::unique_ptr<TWMLBrowser>>;
        return *browsers;
    }

    int UsageError(std::ostream& err, const std::string& reason)
    {
        err << "pivrel-cli: " << reason << "\n" << UsageText();
        return kExitUsage;
    }

    int FileError(std::ostream& err, const std::string& path, const std::string& reason)
    {
        err << "pivrel-cli: cannot read '" << path << "': " << reason << "\n";
        return kExitFileError;
    }

    int WriteError(std::ostream& err, const std::string& path, const std::string& reason)
    {
        err << "pivrel-cli: cannot write '" << path << "': " << reason << "\n";
        return kExitFileError;
    }

    // The options every network command takes.
    struct TNetOptions {
        bool Trace = false;
        // -1: no limit.
        int TimeoutMs = -1;
        std::string TimeoutText;
        std::string ProxyHost;
        int ProxyPort = 80;
        std::string ProxyUser;
        std::string ProxyPassword;
        std::string CaFile;
        // Empty: cookies live for the one run.
        std::string CookieJarPath;
    };

    constexpr TOptionRule kNetRules[] = {
        { "--trace", false },
        { "--timeout", true },
        { "--proxy", true },
        { "--proxy-user", true },
        { "--proxy-password", true },
        { "--cacert", true },
        { "--cookie-jar", true },
    };

    bool ParseTimeout(const std::string& text, TNetOptions& options, std::string& reason)
    {
        char* end = nullptr;
        const double seconds = std::strtod(text.c_str(), &end);
        if (text.empty() || end != text.c_str() + text.size() || !std::isfinite(seconds) || seconds <= 0
            || seconds > kMaxTimeoutSeconds) {
            reason = "--timeout needs a number of seconds above 0, got '" + text + "'";
            return false;
        }
        options.TimeoutMs = std::max(1, static_cast<int>(std::ceil(seconds * 1000)));
        options.TimeoutText = text;
        return true;
    }

    bool ParsePort(std::string_view text, int& port)
    {
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
        return error == std::errc() && end == text.data() + text.size() && port > 0 && port <= 65535;
    }

    bool ParseProxy(const std::string& text, TNetOptions& options, std::string& reason)
    {
        const std::size_t colon = text.rfind(':');
        options.ProxyHost = text.substr(0, colon);
        options.ProxyPort = 80;
        const bool portOk = colon == std::string::npos
            || ParsePort(std::string_view(text).substr(colon + 1), options.ProxyPort);
        if (options.ProxyHost.empty() || !portOk) {
            reason = "--proxy needs HOST or HOST:PORT, got '" + text + "'";
            return false;
        }
        return true;
    }

    bool ReadNetOptions(const TCommandArgs& parsed, TNetOptions& options, std::string& reason)
    {
        options.Trace = parsed.Has("--trace");
        if (const auto timeout = parsed.Last("--timeout");
            timeout && !ParseTimeout(*timeout, options, reason))
            return false;
        if (const auto proxy = parsed.Last("--proxy"); proxy && !ParseProxy(*proxy, options, reason))
            return false;
        options.ProxyUser = parsed.Last("--proxy-user").value_or(std::string());
        options.ProxyPassword = parsed.Last("--proxy-password").value_or(std::string());
        options.CookieJarPath = parsed.Last("--cookie-jar").value_or(std::string());
        if (options.ProxyHost.empty() && (!options.ProxyUser.empty() || !options.ProxyPassword.empty())) {
            reason = "--proxy-user and --proxy-password need --proxy";
            return false;
        }
        options.CaFile = parsed.Last("--cacert").value_or(std::string());
        if (!options.CaFile.empty() && !std::ifstream(options.CaFile)) {
            reason = "--cacert needs a readable file, got '" + options.CaFile + "'";
            return false;
        }
        return true;
    }

    TCommandArgs ParseWithNetRules(const std::vector<std::string>& args, const TOptionRule& extra)
    {
        std::vector<TOptionRule> rules(std::begin(kNetRules), std::end(kNetRules));
        rules.push_back(extra);
        return ParseCommandArgs(args, rules);
    }

    // Reads a network command's one address and its options. A status comes back when the command
    // ends here: the help was asked for, or the arguments are wrong.
    std::optional<int> ParseNetCommand(
        const TCommandArgs& parsed, TNetOptions& options, std::ostream& out, std::ostream& err)
    {
        if (parsed.Help) {
            out << UsageText();
            return kExitOk;
        }
        std::string reason = parsed.CheckPositional(1);
        if (!reason.empty() || !ReadNetOptions(parsed, options, reason))
            return UsageError(err, reason);
        return std::nullopt;
    }

    // The engine makes the cache directory itself but not its parents, and ~/.cache may be
    // missing on a fresh account. Each missing level is made private to the user.
    void MakeDirectories(const std::string& dir)
    {
        for (std::size_t slash = dir.find('/', 1); !dir.empty(); slash = dir.find('/', slash + 1)) {
            const std::string level = dir.substr(0, slash);

            struct stat info { };

            if (::stat(level.c_str(), &info) != 0 && ::mkdir(level.c_str(), 0700) != 0)
                return;
            if (slash == std::string::npos)
                return;
        }
    }

    void ApplyNetOptions(TWMLBrowser& browser, const TNetOptions& options)
    {
        browser.Agent = std::string(kShellAgent);
        browser.Accept = std::string(kShellAccept);
        browser.CacheDir = CliCacheDir();
        MakeDirectories(browser.CacheDir);
        browser.HttpCli.SetCaFile(options.CaFile);
        if (options.ProxyHost.empty())
            return;
        browser.SetProxyHost(options.ProxyHost);
        browser.SetProxyPort(options.ProxyPort);
        browser.SetProxyUser(options.ProxyUser);
        browser.SetProxyPassword(options.ProxyPassword);
    }

    // With --cookie-jar, the cookies of earlier runs go along and those of this run are kept.
    std::optional<int> LoadCookieJar(TWMLBrowser& browser, const TNetOptions& options, std::ostream& err)
    {
        if (options.CookieJarPath.empty() || browser.CookieJar.Load(options.CookieJarPath))
            return std::nullopt;
        return FileError(err, options.CookieJarPath, "not a readable cookie file");
    }

    int SaveCookieJar(TWMLBrowser& browser, const TNetOptions& options, std::ostream& err, int status)
    {
        std::string reason;
        if (options.CookieJarPath.empty() || browser.CookieJar.Save(options.CookieJarPath, reason))
            return status;
        const int failure = WriteError(err, options.CookieJarPath, reason);
        return status == kExitOk ? failure : status;
    }

    // The progress the window shows in its status bar and trace log, written as it happens.
    void HookTrace(TWMLBrowser& browser, std::ostream& err)
    {
        browser.OnTrace = [&err](TWMLBrowser&, const std::string& text) { err << "* " << text << "\n"; };
        const auto status
            = [&err](std::string_view text) { return [&err, text](TWMLBrowser&) { err << text << "\n"; }; };
        browser.OnConnecting = status(kStatusConnecting);
        browser.OnConnect = status("Connected");
        browser.OnWaiting = status("Waiting ...");
        browser.OnDisconnect = status("Disconnected");
        browser.OnParsing = status("Parsing...");
    }

    // Stops the work in hand once the time is up; the loop must turn for it to fire, which it
    // does whenever a request waits.
    class TDeadline
    {
    public:
        TDeadline(base::TEventLoop& loop, int timeoutMs, std::function<void()> onExpiry)
        {
            if (timeoutMs < 0)
                return;
            m_timer = loop.StartTimer(timeoutMs, false, [this, expire = std::move(onExpiry)] {
                m_expired = true;
                expire();
            });
        }

        TDeadline(const TDeadline&) = delete;
        TDeadline& operator=(const TDeadline&) = delete;

        bool Expired() const { return m_expired; }

    private:
        bool m_expired = false;
        std::unique_ptr<base::TEventHandle> m_timer;
    };

    int TimedOut(std::ostream& err, const std::string& address, const TNetOptions& options)
    {
        err << "pivrel-cli: '" << address << "' did not finish within " << options.TimeoutText
            << " seconds\n";
        return kExitRequestFailed;
    }

    // Control characters written as ^X (DEL as ^?), so that text from a server shows as text.
    std::string VisibleText(std::string_view text)
    {
        std::string visible;
        for (const char c : text) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte < 0x20 || byte == 0x7F) {
                visible += '^';
                visible += static_cast<char>(byte == 0x7F ? '?' : byte + 0x40);
            } else {
                visible += c;
            }
        }
        return visible;
    }

    std::string WithoutFragment(const std::string& url)
    {
        return url.substr(0, url.find('#'));
    }

    // Opens the path the way a read would, without blocking on a FIFO, so that a missing or
    // unreadable file is named before the browser turns it into a failed navigation.
    bool CheckReadable(const std::string& path, std::string& reason)
    {
        const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            reason = std::strerror(errno);
            return false;
        }

        struct stat info { };

        const bool isDirectory = ::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode);
        ::close(fd);
        if (isDirectory)
            reason = std::strerror(EISDIR);
        return !isDirectory;
    }

    // fetch

    // True for a path that is missing or a plain file: those get the document by a rename. A
    // device (/dev/null), a pipe or a symbolic link is written as it is: a rename would put a
    // plain file in its place.
    bool ReplaceableFile(const std::string& path)
    {
        struct stat info { };

        if (::lstat(path.c_str(), &info) != 0)
            return errno == ENOENT;
        return S_ISREG(info.st_mode);
    }

    int FinishFetch(net::THttpCli& cli, std::ostream& body, std::ostream& err, const std::string& url,
        const std::optional<net::EHttpException>& failure)
    {
        // A server's bytes must not drive the user's terminal.
        const bool terminal = &err == &std::cerr && ::isatty(STDERR_FILENO);
        for (const std::string& line : cli.ResponseHeader())
            err << (terminal ? VisibleText(line) : line) << "\n";
        body.flush();
        if (failure) {
            err << "pivrel-cli: cannot fetch '" << url << "': " << failure->ErrorCode() << " "
                << VisibleText(failure->what()) << "\n";
            return kExitRequestFailed;
        }
        return kExitOk;
    }

    int Fetch(const std::string& url, std::ostream& body, std::ostream& err, const TNetOptions& options)
    {
        // The engine lends its client, its loop and its state texts; nothing else of it runs.
        TWMLBrowser browser;
        ApplyNetOptions(browser, options);
        if (const std::optional<int> status = LoadCookieJar(browser, options, err))
            return *status;
        if (options.Trace)
            HookTrace(browser, err);
        net::THttpCli& cli = browser.HttpCli;
        cli.SetAgent(browser.Agent);
        cli.SetAccept(browser.Accept);
        // A fragment names a card and is never sent.
        cli.SetURL(WithoutFragment(url));
        cli.SetDocStream(&body);
        TDeadline deadline(browser.Loop(), options.TimeoutMs, [&cli] { cli.Abort(); });
        if (options.Trace)
            err << kStatusConnecting << "\n";
        std::optional<net::EHttpException> failure;
        try {
            cli.Get();
        } catch (const net::EHttpException& e) {
            failure = e;
        }
        cli.SetDocStream(nullptr);
        if (deadline.Expired()) {
            body.flush();
            return TimedOut(err, url, options);
        }
        return SaveCookieJar(browser, options, err, FinishFetch(cli, body, err, url, failure));
    }

    // elements

    // What the window would do with the content type, without asking: WAP content passes, HTML
    // never does, and anything else is shown anyway with a note.
    void CheckContentType(
        const std::string& content, bool& isOK, bool& refused, std::ostream& err, const std::string& url)
    {
        if (content.find("html") != std::string::npos) {
            isOK = false;
            refused = true;
            return;
        }
        if (content.find("wap") == std::string::npos || content.find("wml") == std::string::npos)
            err << "pivrel-cli: note: '" << url << "' is not WAP (WML) content (" << content
                << "); shown anyway\n";
    }

    struct TNavigationOutcome {
        bool Loaded = false;
        bool Failed = false;
        bool Refused = false;
        std::string RefusedType;
    };

    void HookOutcome(TWMLBrowser& browser, TNavigationOutcome& outcome, std::ostream& err, bool trace)
    {
        browser.OnParseComplete = [&outcome, &err, trace](TWMLBrowser&) {
            outcome.Loaded = true;
            if (trace)
                err << "Done\n";
        };
        browser.OnConnectFailed = [&outcome, &err, trace](TWMLBrowser&) {
            outcome.Failed = true;
            if (trace)
                err << "Connect Failed\n";
        };
        browser.OnContentTypeCheck
            = [&outcome, &err](TWMLBrowser&, const std::string& url, const std::string& content, bool& isOK) {
                  CheckContentType(content, isOK, outcome.Refused, err, url);
                  outcome.RefusedType = content;
              };
    }

    int ReportOutcome(const TWMLBrowser& browser, const TNavigationOutcome& outcome, std::ostream& err,
        const std::string& address)
    {
        // A fetch that could not make its body file never reached the network.
        const bool noBodyFile = browser.FailureReason.starts_with(engine::kNoBodyFileReason);
        if (outcome.Failed && !noBodyFile) {
            // The engine's own words, as the window shows them.
            const std::string reason = browser.FailureReason.empty() ? ConnectFailedReason(browser.StatusCode)
                                                                     : browser.FailureReason;
            err << "pivrel-cli: cannot load '" << address << "': " << VisibleText(reason) << "\n";
        } else if (outcome.Refused) {
            err << "pivrel-cli: cannot load '" << address << "': content of HTML type ("
                << outcome.RefusedType << ") can not be shown\n";
        } else {
            // The fetch ended before it began: its body file could not be made.
            err << "pivrel-cli: cannot load '" << address << "': no temporary file could be created in '"
                << browser.CacheDir << "'\n";
        }
        return kExitRequestFailed;
    }

    std::optional<std::string> CardToShow(const TCommandArgs& parsed, const TWMLBrowser& browser)
    {
        if (auto card = parsed.Last("--card"))
            return card;
        const std::string& current = browser.CurrentURL();
        const std::size_t hash = current.find('#');
        if (hash == std::string::npos || hash + 1 == current.size())
            return std::nullopt;
        return current.substr(hash + 1);
    }

    // The address to navigate to, or the exit status of a path that cannot be read.
    std::optional<int> AddressOf(const std::string& argument, std::string& address, std::ostream& err)
    {
        if (IsAddress(argument)) {
            address = argument;
            return std::nullopt;
        }
        std::string reason;
        if (!CheckReadable(argument, reason))
            return FileError(err, argument, reason);
        if (argument.find('#') != std::string::npos)
            return FileError(err, argument, "a '#' in an address starts a card name; rename the file");
        address = FileAddress(argument);
        return std::nullopt;
    }

    int NavigateAndWrite(TWMLBrowser& browser, const TCommandArgs& parsed, const TNetOptions& options,
        const std::string& address, std::ostream& out, std::ostream& err)
    {
        TNavigationOutcome outcome;
        HookOutcome(browser, outcome, err, options.Trace);
        if (options.Trace)
            HookTrace(browser, err);
        {
            TDeadline deadline(browser.Loop(), options.TimeoutMs, [&browser] { browser.Stop(); });
            // As the location box does it.
            browser.Navigate(address, true, true, false);
            if (deadline.Expired())
                return TimedOut(err, address, options);
        }
        if (outcome.Failed || !outcome.Loaded)
            return ReportOutcome(browser, outcome, err, address);
        WriteDeckLines(out, browser, !browser.WMLDeck.CardList.empty(), CardToShow(parsed, browser));
        return kExitOk;
    }

    // wbmp

    int WriteOutput(const std::string& bytes, const std::optional<std::string>& path, std::ostream& out,
        std::ostream& err)
    {
        if (!path) {
            out.write(bytes.data(), std::streamsize(bytes.size()));
            return kExitOk;
        }
        std::ofstream file(*path, std::ios::binary | std::ios::trunc);
        if (file)
            file.write(bytes.data(), std::streamsize(bytes.size()));
        if (file)
            file.close();
        if (!file)
            return WriteError(err, *path, std::strerror(errno));
        return kExitOk;
    }

    int FetchInPlace(
        const std::string& url, const std::string& path, std::ostream& err, const TNetOptions& options)
    {
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        if (!file)
            return WriteError(err, path, std::strerror(errno));
        const int status = Fetch(url, file, err, options);
        file.close();
        if (!file && status == kExitOk)
            return WriteError(err, path, std::strerror(errno));
        return status;
    }

} // namespace

std::string CacheDirFor(const char* pivrelHome, const char* xdgCacheHome, const char* home)
{
    const auto set = [](const char* value) { return value != nullptr && *value != '\0'; };
    if (set(pivrelHome))
        return std::string(pivrelHome) + "/Cache";
    if (set(xdgCacheHome) && xdgCacheHome[0] == '/')
        return std::string(xdgCacheHome) + "/pivrel";
    if (set(home))
        return std::string(home) + "/.cache/pivrel";
    return {};
}

std::string CliCacheDir()
{
    return CacheDirFor(std::getenv("PIVREL_HOME"), std::getenv("XDG_CACHE_HOME"), std::getenv("HOME"));
}

bool IsAddress(std::string_view argument)
{
    if (argument.starts_with("file:"))
        return true;
    const std::size_t mark = argument.find("://");
    if (mark == std::string_view::npos || mark == 0)
        return false;
    const auto schemeChar = [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.';
    };
    const std::string_view scheme = argument.substr(0, mark);
    return std::isalpha(static_cast<unsigned char>(scheme[0]))
        && std::all_of(scheme.begin(), scheme.end(), schemeChar);
}

std::string FileAddress(const std::string& path)
{
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error)
        absolute = path;
    return "file://" + absolute.lexically_normal().string();
}

std::string ConnectFailedReason(int statusCode)
{
    if (statusCode == 404)
        return "404 - Document not found";
    return std::to_string(statusCode) + " - Unknown error";
}

int RunFetch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    const TCommandArgs parsed = ParseWithNetRules(args, { "-o", true });
    TNetOptions options;
    if (const std::optional<int> status = ParseNetCommand(parsed, options, out, err))
        return *status;
    const std::string& url = parsed.Positional[0];
    const std::optional<std::string> outputPath = parsed.Last("-o");
    if (!outputPath)
        return Fetch(url, out, err, options);
    if (!ReplaceableFile(*outputPath))
        return FetchInPlace(url, *outputPath, err, options);
    // The body goes to a file beside the target, which takes its place only when the whole
    // document arrived: a failed fetch leaves neither a partial file nor a lost old one.
    std::string partPath = *outputPath + ".part-XXXXXX";
    const int fd = ::mkstemp(partPath.data());
    if (fd < 0)
        return WriteError(err, *outputPath, std::strerror(errno));
    // The document gets the permissions a newly written file gets, not the private ones of the
    // temporary name.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    ::close(fd);
    std::ofstream file(partPath, std::ios::binary | std::ios::trunc);
    int status = file ? Fetch(url, file, err, options) : kExitFileError;
    file.close();
    if (status == kExitOk && (!file || ::rename(partPath.c_str(), outputPath->c_str()) != 0))
        status = WriteError(err, *outputPath, std::strerror(errno));
    if (status != kExitOk)
        ::unlink(partPath.c_str());
    return status;
}

int RunEngineElements(
    const std::vector<std::string>& args, std::ostream& out, std::ostream& err, TKeepDeck keep)
{
    const TCommandArgs parsed = ParseWithNetRules(args, { "--card", true });
    TNetOptions options;
    if (const std::optional<int> status = ParseNetCommand(parsed, options, out, err))
        return *status;
    std::string address;
    if (const std::optional<int> status = AddressOf(parsed.Positional[0], address, err))
        return *status;
    auto browser = std::make_unique<TWMLBrowser>();
    ApplyNetOptions(*browser, options);
    if (const std::optional<int> status = LoadCookieJar(*browser, options, err))
        return *status;
    const int status = SaveCookieJar(
        *browser, options, err, NavigateAndWrite(*browser, parsed, options, address, out, err));
    // The handlers refer to this call's locals.
    browser->OnParseComplete = nullptr;
    browser->OnConnectFailed = nullptr;
    browser->OnContentTypeCheck = nullptr;
    browser->OnTrace = nullptr;
    if (keep == TKeepDeck::AtExit)
        KeptBrowsers().push_back(std::move(browser));
    return status;
}

int RunWbmp(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    const TCommandArgs parsed = ParseCommandArgs(args, { { "-o", true } });
    if (parsed.Help) {
        out << UsageText();
        return kExitOk;
    }
    std::string reason = parsed.CheckPositional(1);
    if (!reason.empty())
        return UsageError(err, reason);
    const std::string& path = parsed.Positional[0];
    std::string bytes;
    if (!CheckReadable(path, reason))
        return FileError(err, path, reason);
    if (!images::ReadPictureFile(path, bytes))
        return FileError(err, path, "not a regular file of at most 8 MiB");
    base::TBitmap bitmap;
    int width = 0;
    int height = 0;
    if (!images::DecodeWBMP(bytes, bitmap, width, height)) {
        err << "pivrel-cli: '" << path
            << "' is not a WBMP picture a card can show (type 0, 1 to 4096 pixels a side,"
               " every row present)\n";
        return kExitRequestFailed;
    }
    return WriteOutput(images::EncodePBM(bitmap), parsed.Last("-o"), out, err);
}

} // namespace pivrel::tools
