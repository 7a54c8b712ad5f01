#include "support/CupsServer.h"

#include <cups/cups.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

namespace testsupport {
namespace {

const char* const kCupsd = "/usr/sbin/cupsd";
// The server starts its helpers through this program of the system's installation.
const char* const kCupsExec = "/usr/lib/cups/daemon/cups-exec";

std::string Ppd(const CupsQueue& q) {
    std::string ppd = "*PPD-Adobe: \"4.3\"\n"
                      "*FormatVersion: \"4.3\"\n"
                      "*FileVersion: \"1.0\"\n"
                      "*LanguageVersion: English\n"
                      "*LanguageEncoding: ISOLatin1\n"
                      "*PCFileName: \"TEST.PPD\"\n"
                      "*Manufacturer: \"Test\"\n"
                      "*Product: \"(Test Queue)\"\n"
                      "*ModelName: \"Test Queue\"\n"
                      "*ShortNickName: \"Test Queue\"\n"
                      "*NickName: \"Test Queue\"\n"
                      "*PSVersion: \"(3010.000) 0\"\n"
                      "*LanguageLevel: \"3\"\n"
                      "*ColorDevice: False\n"
                      "*DefaultColorSpace: Gray\n"
                      "*FileSystem: False\n"
                      "*Throughput: \"1\"\n"
                      "*LandscapeOrientation: Plus90\n"
                      "*TTRasterizer: Type42\n";
    ppd += q.fax ? "*cupsFax: True\n" : "*cupsFax: False\n";
    // PDF goes to the backend as it is: no filter program runs.
    ppd += "*cupsFilter2: \"application/pdf application/pdf 0 -\"\n"
           "*OpenUI *PageSize/Page Size: PickOne\n"
           "*OrderDependency: 10 AnySetup *PageSize\n"
           "*DefaultPageSize: Letter\n"
           "*PageSize Letter/Letter: \"<</PageSize[612 792]>>setpagedevice\"\n"
           "*CloseUI: *PageSize\n"
           "*OpenUI *PageRegion: PickOne\n"
           "*OrderDependency: 10 AnySetup *PageRegion\n"
           "*DefaultPageRegion: Letter\n"
           "*PageRegion Letter/Letter: \"<</PageSize[612 792]>>setpagedevice\"\n"
           "*CloseUI: *PageRegion\n"
           "*DefaultImageableArea: Letter\n"
           "*ImageableArea Letter/Letter: \"18 36 594 756\"\n"
           "*DefaultPaperDimension: Letter\n"
           "*PaperDimension Letter/Letter: \"612 792\"\n";
    if (!q.resolution.empty()) {
        ppd += "*OpenUI *Resolution/Resolution: PickOne\n"
               "*OrderDependency: 10 AnySetup *Resolution\n"
               "*DefaultResolution: " +
               q.resolution + "\n*Resolution " + q.resolution + "/Standard: \"\"\n*CloseUI: *Resolution\n";
    }
    return ppd;
}

std::string NameOfUser(uid_t uid) {
    const passwd* pw = ::getpwuid(uid);
    return pw ? pw->pw_name : std::to_string(uid);
}

std::string NameOfGroup(gid_t gid) {
    const group* gr = ::getgrgid(gid);
    return gr ? gr->gr_name : std::to_string(gid);
}

bool Answers(const std::string& socketPath) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0) return false;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socketPath.c_str(), sizeof(address.sun_path) - 1);
    const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    ::close(fd);
    return ok;
}

} // namespace

bool CupsServer::Start(const std::vector<CupsQueue>& queues, std::string* why, bool refuseListing) {
    for (const char* program : {kCupsd, kCupsExec}) {
        if (::access(program, X_OK) != 0) {
            *why = std::string(program) + " is missing: install the CUPS server (package cups-daemon, `make deps`)";
            return false;
        }
    }
    const bool root = ::geteuid() == 0;
    const std::string base = root_.path();
    socket_ = base + "cups.sock";
    if (socket_.size() >= sizeof(sockaddr_un{}.sun_path)) {
        *why = "the temporary folder's path is too long for a socket: " + socket_;
        return false;
    }
    for (const char* folder : {"conf/ppd", "spool/tmp", "log", "cache", "state", "bin/backend", "bin/daemon", "out"})
        std::filesystem::create_directories(base + folder);
    std::filesystem::create_symlink(kCupsExec, base + "bin/daemon/cups-exec");

    // A server that answers but lists nothing: every request needs a user that does
    // not exist (the caller is known by its socket credentials, and refused).
    const std::string access =
        refuseListing ? "  AuthType Default\n  Require user no-such-user\n" : "  Order allow,deny\n  Allow all\n";
    root_.Write("conf/cupsd.conf", "Listen " + socket_ +
                                       "\nLogLevel info\nBrowsing No\nWebInterface No\nDefaultShared No\n"
                                       "DefaultAuthType Basic\nPreserveJobHistory Yes\n"
                                       "<Location />\n" +
                                       access +
                                       "</Location>\n<Policy default>\n  <Limit All>\n    Order deny,allow\n"
                                       "  </Limit>\n</Policy>\n");
    // As root the server runs its helpers as "lp"; as anyone else, as that user.
    const std::string user = root ? "lp" : NameOfUser(::geteuid());
    const std::string group = root ? "lp" : NameOfGroup(::getegid());
    root_.Write("conf/cups-files.conf",
                "User " + user + "\nGroup " + group + "\nSystemGroup " + (root ? std::string("root") : group) +
                    "\nServerRoot " + base + "conf\nServerBin " + base + "bin\nDataDir /usr/share/cups\nCacheDir " +
                    base + "cache\nStateDir " + base + "state\nRequestRoot " + base + "spool\nTempDir " + base +
                    "spool/tmp\nAccessLog " + base + "log/access_log\nErrorLog " + base + "log/error_log\nPageLog " +
                    base + "log/page_log\nFileDevice No\n");
    // The backend stores the job's document (its file, or standard input) under a
    // temporary name and renames it, so a test never reads half a document. Without
    // group and world access the server runs it as the user who started the server.
    const std::string backend = root_.Write(
        "bin/backend/store", "#!/bin/sh\n"
                             "if [ $# -eq 0 ]; then echo 'direct store \"Unknown\" \"Document store\"'; exit 0; fi\n"
                             "out='" +
                                 base +
                                 "out/'\"$PRINTER-$1\"\n"
                                 "if [ -n \"$6\" ]; then cat \"$6\"; else cat; fi > \"$out.part\" || exit 1\n"
                                 "mv \"$out.part\" \"$out.pdf\"\n");
    ::chmod(backend.c_str(), 0700);
    std::string printers;
    for (const auto& q : queues) {
        root_.Write("conf/ppd/" + q.name + ".ppd", Ppd(q));
        printers += "<Printer " + q.name + ">\nInfo " + q.name + "\nDeviceURI store:/" + q.name +
                    "\nState Idle\nAccepting Yes\nShared No\n</Printer>\n";
    }
    root_.Write("conf/printers.conf", printers);
    if (root) ::chmod(base.c_str(), 0755); // the helpers, as "lp", pass through it

    const std::string conf = base + "conf/cupsd.conf", files = base + "conf/cups-files.conf";
    const std::string output = base + "log/cupsd.out";
    pid_ = ::fork();
    if (pid_ < 0) {
        *why = "fork failed";
        return false;
    }
    if (pid_ == 0) {
        // The server ends with the test, even one that crashes.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        const int log = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (log >= 0) ::dup2(log, STDERR_FILENO);
        ::execl(kCupsd, kCupsd, "-f", "-c", conf.c_str(), "-s", files.c_str(), static_cast<char*>(nullptr));
        std::_Exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!Answers(socket_)) {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            *why = "cupsd ended at start-up: " + root_.Read("log/cupsd.out") + Log();
            return false;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            Stop();
            *why = "cupsd did not answer within 20 s: " + Log();
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (const char* previous = std::getenv("CUPS_SERVER")) {
        previousServer_ = previous;
        hadPreviousServer_ = true;
    }
    ::setenv("CUPS_SERVER", socket_.c_str(), 1);
    return true;
}

CupsServer::~CupsServer() {
    Stop();
    if (hadPreviousServer_) ::setenv("CUPS_SERVER", previousServer_.c_str(), 1);
    else ::unsetenv("CUPS_SERVER");
    cupsSetServer(nullptr);
}

void CupsServer::Stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
}

std::vector<std::string> CupsServer::Documents(const std::string& queue, size_t count) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (;;) {
        std::vector<std::pair<int, std::string>> found;
        const std::string prefix = queue + "-";
        for (const auto& entry : std::filesystem::directory_iterator(root_.path() + "out")) {
            const std::string name = entry.path().filename().string();
            if (name.rfind(prefix, 0) != 0 || entry.path().extension() != ".pdf") continue;
            found.emplace_back(std::atoi(name.c_str() + prefix.size()), entry.path().string());
        }
        if (found.size() >= count || std::chrono::steady_clock::now() > deadline) {
            std::sort(found.begin(), found.end());
            std::vector<std::string> paths;
            for (const auto& f : found) paths.push_back(f.second);
            return paths;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

std::vector<int> CupsServer::JobStates(const std::string& queue) const {
    cupsSetServer(socket_.c_str());
    std::vector<int> states;
    http_t* http = httpConnect2(socket_.c_str(), 0, nullptr, AF_UNSPEC, HTTP_ENCRYPTION_IF_REQUESTED, 1, 5000, nullptr);
    if (!http) return states;
    cups_job_t* jobs = nullptr;
    const int count = cupsGetJobs2(http, &jobs, queue.c_str(), 0, CUPS_WHICHJOBS_ALL);
    std::vector<std::pair<int, int>> byId;
    for (int i = 0; i < count; ++i) byId.emplace_back(jobs[i].id, static_cast<int>(jobs[i].state));
    cupsFreeJobs(count, jobs);
    httpClose(http);
    std::sort(byId.begin(), byId.end());
    for (const auto& j : byId) states.push_back(j.second);
    return states;
}

std::vector<int> CupsServer::EndedJobStates(const std::string& queue) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (;;) {
        std::vector<int> states = JobStates(queue);
        const bool ended = std::all_of(states.begin(), states.end(), [](int s) { return s >= IPP_JSTATE_CANCELED; });
        if (ended || std::chrono::steady_clock::now() > deadline) return states;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

std::string CupsServer::Log() const { return root_.Read("log/error_log"); }

} // namespace testsupport
