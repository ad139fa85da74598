// mouldmon-videoreader: reads one frame of a video share as the companion's reader does, with
// nothing of the program's own code: attach the segment, take the semaphore, copy the frame,
// give the semaphore back.
//   mouldmon-videoreader SHMID SEMID SIZE OUTFILE [HOLD_MS]
// HOLD_MS keeps the semaphore that long before copying (-1: until killed), as a stuck reader;
// "held" is printed once it is taken. Exit 0 when OUTFILE holds SIZE bytes of the segment.
#include <sys/sem.h>
#include <sys/shm.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s SHMID SEMID SIZE OUTFILE [HOLD_MS]\n", argv[0]);
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
