// A stand-in for a console tool, driven by its arguments, one step after another:
//   out TEXT    write TEXT to standard output in one write (escapes: \r \n \0 \t \\ \xHH)
//   err TEXT    the same on standard error
//   sleep MS    pause
//   await PATH  wait until a file of that name exists (the test's go-ahead)
//   spawn       start a copy of this program that only hangs, and print "child=<pid>"
//   pid         print "pid=<pid>"
//   bytes N     write N bytes of text lines (80 characters each) to standard output
//   hang        wait until killed
//   crash       end by SIGSEGV
//   write N     write N bytes into the file named by the last argument (where an encoder's
//               output goes); a failed write prints the system's reason and ends with 1
//   exit CODE   end with CODE
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

static std::string unescape(const char *s)
{
    std::string r;
    for (; *s; ++s) {
        if (*s != '\\' || !s[1]) {
            r += *s;
            continue;
        }
        ++s;
        switch (*s) {
        case 'r':
            r += '\r';
            break;
        case 'n':
            r += '\n';
            break;
        case '0':
            r += '\0';
            break;
        case 't':
            r += '\t';
            break;
        case 'x': {
            char hex[3] = {s[1], s[1] ? s[2] : '\0', '\0'};
            r += static_cast<char>(std::strtol(hex, nullptr, 16));
            s += 2;
            break;
        }
        default:
            r += *s;
            break;
        }
    }
    return r;
}

static void writeAll(int fd, const std::string &data)
{
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n <= 0)
            std::_Exit(3);
        done += size_t(n);
    }
}

int main(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string step = argv[i];
        const char *arg = i + 1 < argc ? argv[i + 1] : "";
        if (step == "out") {
            writeAll(1, unescape(arg));
            ++i;
        } else if (step == "err") {
            writeAll(2, unescape(arg));
            ++i;
        } else if (step == "sleep") {
            ::usleep(useconds_t(std::atoi(arg)) * 1000);
            ++i;
        } else if (step == "await") {
            while (::access(arg, F_OK) != 0)
                ::usleep(2000);
            ++i;
        } else if (step == "spawn") {
            const pid_t child = ::fork();
            if (child == 0) {
                ::execl(argv[0], argv[0], "hang", static_cast<char *>(nullptr));
                std::_Exit(127);
            }
            writeAll(1, "child=" + std::to_string(child) + "\n");
        } else if (step == "pid") {
            writeAll(1, "pid=" + std::to_string(::getpid()) + "\n");
        } else if (step == "bytes") {
            long long left = std::atoll(arg);
            std::string block;
            for (int k = 0; k < 800; ++k)
                block += std::string(79, char('a' + k % 26)) + '\n';
            while (left > 0) {
                const size_t n = size_t(std::min<long long>(left, (long long)block.size()));
                writeAll(1, block.substr(0, n));
                left -= (long long)n;
            }
            ++i;
        } else if (step == "write") {
            const char *path = argv[argc - 1];
            FILE *file = std::fopen(path, "wb");
            const std::string data(size_t(std::atoll(arg)), 'v');
            if (!file || std::fwrite(data.data(), 1, data.size(), file) != data.size() ||
                std::fclose(file) != 0) {
                const std::string reason = std::strerror(errno);
                writeAll(2, std::string(path) + ": " + reason + "\n");
                return 1;
            }
            ++i;
        } else if (step == "hang") {
            for (;;)
                ::pause();
        } else if (step == "crash") {
            std::raise(SIGSEGV);
        } else if (step == "exit") {
            return std::atoi(arg);
        }
    }
    return 0;
}
