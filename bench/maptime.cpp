// SPDX-License-Identifier: GPL-3.0-or-later
// Starts a program and reports, as the X server announces them, the top-level windows it maps
// and when each is first drawn: the times come from the events themselves, never from polling.
//
//   vorandi-maptime [--first] [--timeout SECONDS] -- PROGRAM [ARGS...]
//
// Lines on stdout: "origin MICROSECONDS" (the monotonic clock at the fork, for callers that time
// their own actions against the program's windows), "pid PID", then
// "map MICROSECONDS WINDOW WIDTH HEIGHT CPU_MICROSECONDS" for every top-level window mapped (the
// last field: the program's CPU time by then, all threads) and "paint MICROSECONDS WINDOW" when
// something is first drawn into it (the DAMAGE extension's first report), and "exit STATUS" when
// the program ends. Times are counted from the fork. With --first the program is ended after its
// first window; with the timeout passed without a window it is ended and "timeout" printed.
#include <xcb/damage.h>
#include <xcb/xcb.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

volatile pid_t watchedChild = 0;

// A helper stopped by its caller takes its program with it.
void forwardStop(int signal)
{
    if (watchedChild > 0)
        kill(watchedChild, SIGKILL);
    _exit(128 + signal);
}

struct Options {
    bool firstOnly = false;
    double timeoutSeconds = 30;
    char **program = nullptr;
};

long long nowMicroseconds()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000000LL + ts.tv_nsec / 1000;
}

bool parseOptions(int argc, char **argv, Options &options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--first") {
            options.firstOnly = true;
        } else if (arg == "--timeout" && i + 1 < argc) {
            options.timeoutSeconds = std::atof(argv[++i]);
        } else if (arg == "--" && i + 1 < argc) {
            options.program = argv + i + 1;
            return options.timeoutSeconds > 0;
        } else {
            return false;
        }
    }
    return false;
}

// Every window the program maps as a child of the root arrives as a MapNotify from here on; the
// check makes sure the selection is in force before the program can map anything.
bool watchRoot(xcb_connection_t *connection, xcb_window_t root)
{
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_void_cookie_t cookie =
        xcb_change_window_attributes_checked(connection, root, XCB_CW_EVENT_MASK, &mask);
    std::unique_ptr<xcb_generic_error_t, decltype(&std::free)> error(
        xcb_request_check(connection, cookie), &std::free);
    return !error;
}

void endProgram(pid_t child)
{
    kill(child, SIGTERM);
    for (int i = 0; i < 200; ++i) {
        if (waitpid(child, nullptr, WNOHANG) == child)
            return;
        usleep(10000);
    }
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
}

// The scheduler's run time of every thread of the process, in microseconds; -1 when unreadable.
long long cpuMicroseconds(pid_t pid)
{
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    struct CloseDir {
        void operator()(DIR *d) const { closedir(d); }
    };
    std::unique_ptr<DIR, CloseDir> dir(opendir(tasks.c_str()));
    if (!dir)
        return -1;
    unsigned long long total = 0;
    while (const dirent *entry = readdir(dir.get())) {
        if (entry->d_name[0] == '.')
            continue;
        const std::string path = tasks + '/' + entry->d_name + "/schedstat";
        std::unique_ptr<FILE, decltype(&std::fclose)> file(std::fopen(path.c_str(), "r"),
                                                           &std::fclose);
        unsigned long long nanoseconds = 0;
        if (!file || std::fscanf(file.get(), "%llu", &nanoseconds) != 1)
            return -1;
        total += nanoseconds;
    }
    return static_cast<long long>(total / 1000);
}

// The first event number of the DAMAGE extension; 0 when the server has none.
uint8_t damageEvents = 0;

bool startDamage(xcb_connection_t *connection)
{
    const xcb_query_extension_reply_t *ext = xcb_get_extension_data(connection, &xcb_damage_id);
    if (!ext || !ext->present)
        return false;
    std::unique_ptr<xcb_damage_query_version_reply_t, decltype(&std::free)> version(
        xcb_damage_query_version_reply(connection, xcb_damage_query_version(connection, 1, 1),
                                       nullptr),
        &std::free);
    if (!version)
        return false;
    damageEvents = ext->first_event;
    return true;
}

// The window's first drawing arrives as one DamageNotify; later ones are not reported, because
// the damage is never subtracted.
void watchDrawing(xcb_connection_t *connection, xcb_window_t window)
{
    if (damageEvents == 0)
        return;
    xcb_damage_create(connection, xcb_generate_id(connection), window,
                      XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY);
    xcb_flush(connection);
}

void report(xcb_connection_t *connection, xcb_window_t window, long long micros, long long cpu)
{
    std::unique_ptr<xcb_get_geometry_reply_t, decltype(&std::free)> geometry(
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr),
        &std::free);
    std::printf("map %lld 0x%x %d %d %lld\n", micros, window, geometry ? geometry->width : 0,
                geometry ? geometry->height : 0, cpu);
    std::fflush(stdout);
}

// Returns true when a top-level window was mapped.
bool drainEvents(xcb_connection_t *connection, xcb_window_t root, pid_t child, long long started)
{
    bool mapped = false;
    while (xcb_generic_event_t *event = xcb_poll_for_event(connection)) {
        if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY) {
            const long long micros = nowMicroseconds() - started;
            auto *map = reinterpret_cast<xcb_map_notify_event_t *>(event);
            // Popups and tooltips bypass the window manager: they are not windows of their own.
            if (map->event == root && !map->override_redirect) {
                report(connection, map->window, micros, cpuMicroseconds(child));
                mapped = true;
            }
        } else if ((event->response_type & 0x7f) == XCB_CREATE_NOTIFY) {
            // Watched from its creation: the program may draw as soon as it is mapped, before
            // this helper has read the MapNotify.
            auto *created = reinterpret_cast<xcb_create_notify_event_t *>(event);
            if (created->parent == root && !created->override_redirect)
                watchDrawing(connection, created->window);
        } else if (damageEvents != 0 &&
                   (event->response_type & 0x7f) == damageEvents + XCB_DAMAGE_NOTIFY) {
            const long long micros = nowMicroseconds() - started;
            auto *damage = reinterpret_cast<xcb_damage_notify_event_t *>(event);
            std::printf("paint %lld 0x%x\n", micros, damage->drawable);
            std::fflush(stdout);
        }
        std::free(event);
    }
    return mapped;
}

// Waits for events or the program's end; returns the exit code of this helper.
int watch(xcb_connection_t *connection, xcb_window_t root, pid_t child, long long started,
          const Options &options)
{
    bool seen = false;
    pollfd fd{xcb_get_file_descriptor(connection), POLLIN, 0};
    for (;;) {
        if (drainEvents(connection, root, child, started)) {
            seen = true;
            if (options.firstOnly) {
                endProgram(child);
                return 0;
            }
        }
        int status = 0;
        if (waitpid(child, &status, WNOHANG) == child) {
            std::printf("exit %d\n",
                        WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
            return seen ? 0 : 3;
        }
        if (!seen && nowMicroseconds() - started > options.timeoutSeconds * 1e6) {
            std::puts("timeout");
            endProgram(child);
            return 2;
        }
        if (xcb_connection_has_error(connection)) {
            endProgram(child);
            return 4;
        }
        // The wait ends at once when an event arrives; the timeout only notices the program's end.
        poll(&fd, 1, 50);
    }
}

} // namespace

int main(int argc, char **argv)
{
    Options options;
    if (!parseOptions(argc, argv, options)) {
        std::fputs("usage: vorandi-maptime [--first] [--timeout SECONDS] -- PROGRAM [ARGS...]\n",
                   stderr);
        return 64;
    }
    int screenNumber = 0;
    xcb_connection_t *connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection)) {
        std::fputs("vorandi-maptime: cannot connect to the X display\n", stderr);
        return 69;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber; ++i)
        xcb_screen_next(&screens);
    const xcb_window_t root = screens.data->root;
    if (!watchRoot(connection, root)) {
        std::fputs("vorandi-maptime: cannot watch the root window\n", stderr);
        return 69;
    }
    startDamage(connection);
    fcntl(xcb_get_file_descriptor(connection), F_SETFD, FD_CLOEXEC);
    std::fflush(stdout);
    const long long started = nowMicroseconds();
    const pid_t child = fork();
    if (child == 0) {
        execvp(options.program[0], options.program);
        std::fprintf(stderr, "vorandi-maptime: %s: %s\n", options.program[0], std::strerror(errno));
        _exit(127);
    }
    if (child < 0) {
        std::perror("vorandi-maptime: fork");
        return 71;
    }
    watchedChild = child;
    std::signal(SIGTERM, forwardStop);
    std::signal(SIGINT, forwardStop);
    std::printf("origin %lld\npid %d\n", started, int(child));
    std::fflush(stdout);
    const int code = watch(connection, root, child, started, options);
    xcb_disconnect(connection);
    return code;
}
