// scanner-utility-cli: the command line's front. It runs no command itself: it finds
// the program that holds the command (tools/cli/CMakeLists.txt gives the routes) and
// replaces itself with it, so that a command costs one program start and loads only
// what that program needs. The front therefore uses the C library alone (no C++
// library, none of ours): it is started for every command, and each library it loaded
// would be loaded (and relocated) again for nothing.
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

// "command program" pairs, separated by blanks.
#ifndef SU_CLI_ROUTES
#define SU_CLI_ROUTES ""
#endif

namespace {

constexpr char kRoutes[] = SU_CLI_ROUTES;

// One route: the command and its program, both pointing into a copy of kRoutes.
struct Route {
    const char* command;
    const char* program;
};

constexpr int kMaxRoutes = 64;

// Splits the routes into `routes`; answers how many there are.
int ReadRoutes(char* text, Route* routes) {
    int count = 0;
    char* state = nullptr;
    for (char* word = strtok_r(text, " ", &state); word && count < kMaxRoutes; word = strtok_r(nullptr, " ", &state)) {
        char* program = strtok_r(nullptr, " ", &state);
        if (!program) break;
        routes[count++] = Route{word, program};
    }
    return count;
}

// The folder of this program, with its trailing slash, in `folder`; false when unknown.
bool ProgramFolder(char* folder, size_t size) {
    const ssize_t n = ::readlink("/proc/self/exe", folder, size - 1);
    if (n <= 0) return false;
    folder[n] = '\0';
    char* slash = std::strrchr(folder, '/');
    if (!slash) return false;
    slash[1] = '\0';
    return true;
}

// `folder` + `program` into `path`; false when it does not fit.
bool ProgramPath(const char* folder, const char* program, char* path, size_t size) {
    const int n = std::snprintf(path, size, "%s%s", folder, program);
    return n > 0 && static_cast<size_t>(n) < size;
}

// Every program's own list of its commands, on standard error, in the order of the routes.
void ListCommands(const Route* routes, int count, const char* folder) {
    for (int i = 0; i < count; ++i) {
        bool asked = false;
        for (int j = 0; j < i && !asked; ++j) asked = std::strcmp(routes[j].program, routes[i].program) == 0;
        char path[PATH_MAX];
        if (asked || !ProgramPath(folder, routes[i].program, path, sizeof path)) continue;
        std::fflush(stderr);
        const pid_t child = ::fork();
        if (child == 0) {
            ::dup2(STDERR_FILENO, STDOUT_FILENO);
            char* const argv[] = {path, const_cast<char*>("--commands"), nullptr};
            ::execv(path, argv);
            ::_exit(127);
        }
        if (child < 0) continue;
        int status = 0;
        while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {}
    }
}

void Usage(const Route* routes, int count, const char* folder) {
    std::fprintf(stderr, "usage: scanner-utility-cli COMMAND [ARGS]\n\ncommands:\n");
    ListCommands(routes, count, folder);
}

} // namespace

int main(int argc, char** argv) {
    char text[sizeof kRoutes];
    std::memcpy(text, kRoutes, sizeof kRoutes);
    Route routes[kMaxRoutes];
    const int count = ReadRoutes(text, routes);
    char folder[PATH_MAX];
    if (!ProgramFolder(folder, sizeof folder)) {
        std::fprintf(stderr, "scanner-utility-cli: cannot find the folder of this program\n");
        return 2;
    }
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        Usage(routes, count, folder);
        return argc < 2 ? 2 : 0;
    }
    for (int i = 0; i < count; ++i) {
        if (std::strcmp(routes[i].command, argv[1]) != 0) continue;
        char path[PATH_MAX];
        if (ProgramPath(folder, routes[i].program, path, sizeof path)) ::execv(path, argv);
        std::fprintf(stderr, "scanner-utility-cli: cannot start %s%s\n", folder, routes[i].program);
        return 2;
    }
    std::fprintf(stderr, "scanner-utility-cli: unknown command '%s'\n", argv[1]);
    Usage(routes, count, folder);
    return 2;
}
