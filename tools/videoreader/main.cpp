// mouldmon-videoreader: reads one frame of a video share as the companion's reader does, with
// nothing of the program's own code: attach the segment, take the semaphore, copy the frame,
// give the semaphore back.
//   mouldmon-videoreader SHMID SEMID SIZE OUTFILE [HOLD_MS]
// HOLD_MS keeps the semaphore that long before copying (-1: until killed), as a stuck reader;
// "held" is printed once it is taken. Exit 0 when OUTFILE holds SIZE bytes of the segment.
#include <sys/sem.h>
#include <sys/shm.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char* const kUsage =
    "Usage: %s SHMID SEMID SIZE OUTFILE [HOLD_MS]\n"
    "Reads one frame of the video share as the companion's reader does. HOLD_MS keeps the\n"
    "semaphore that long before copying (-1: until killed).\n";

}  // namespace

int main(int argc, char** argv) {
    // The command line is read as every program of the project reads it (src/cli), without
    // its library: this reader stays free of the program's code.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-h") == 0 || std::strcmp(argv[i], "--help") == 0) {
            std::printf(kUsage, argv[0]);
            return 0;
        }
    }
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] == '-' && !std::isdigit(static_cast<unsigned char>(argv[i][1]))) {
            std::fprintf(stderr, "%s: unknown option '%s'\nTry '%s --help'.\n", argv[0], argv[i],
                         argv[0]);
            return 2;
        }
    }
    if (argc < 5 || argc > 6) {
        std::fprintf(stderr, kUsage, argv[0]);
        return 2;
    }
    const int shmid = std::atoi(argv[1]);
    const int semid = std::atoi(argv[2]);
    const long size = std::atol(argv[3]);
    const long holdMs = argc > 5 ? std::atol(argv[5]) : 0;
    void* frame = shmat(shmid, nullptr, SHM_RDONLY);
    if (frame == reinterpret_cast<void*>(-1)) {
        std::perror("shmat");
        return 1;
    }
    // SEM_UNDO: a reader that is killed while holding the semaphore gives it back.
    sembuf take{0, -1, SEM_UNDO};
    if (semop(semid, &take, 1) != 0) {
        std::perror("semop");
        return 1;
    }
    std::printf("held\n");
    std::fflush(stdout);
    if (holdMs < 0)
        for (;;) pause();
    usleep(useconds_t(holdMs * 1000));
    FILE* out = std::fopen(argv[4], "wb");
    const bool written = out && std::fwrite(frame, 1, size_t(size), out) == size_t(size);
    if (out) std::fclose(out);
    sembuf give{0, 1, SEM_UNDO};
    semop(semid, &give, 1);
    shmdt(frame);
    return written ? 0 : 1;
}
