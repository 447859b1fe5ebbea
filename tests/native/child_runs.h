/* child_runs.h: runs a piece of the system in a child process of the test.  Each run starts as
 * a program starts, with its program-wide buffers as loaded and no trace of an earlier run in
 * the same test binary; a crash ends only that run; a run that does not end is stopped.  The
 * child's own check failures are printed as they happen, with their traces. */
#ifndef TESTS_CHILD_RUNS_H
#define TESTS_CHILD_RUNS_H

#include <gtest/gtest.h>

#include "winsim.h"

#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

enum { CHILD_RUN_SECONDS = 30 }; /* a run takes milliseconds: one that takes this long hangs */

inline int child_failures() {
    return ::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count();
}

/* Runs `body` in a child process and hands back the text it returns.  Returns false, having
 * added a failure, when a check in the child failed, or the child crashed or hung. */
inline bool run_in_child(const std::function<std::string()> &body, std::string *output = nullptr) {
    winsim_cleanup(); /* the child makes its own machine */
    int channel[2];
    if (pipe(channel) != 0) {
        ADD_FAILURE() << "no pipe";
        return false;
    }
    fflush(stdout);
    fflush(stderr);
    pid_t child = fork();
    if (child < 0) {
        ADD_FAILURE() << "no child process";
        return false;
    }
    if (child == 0) {
        close(channel[0]);
        alarm(CHILD_RUN_SECONDS);
        int failures = child_failures();
        std::string text = body();
        bool failed = child_failures() != failures;
        winsim_cleanup();
        for (size_t done = 0; done < text.size();) {
            ssize_t n = write(channel[1], text.data() + done, text.size() - done);
            if (n <= 0)
                break;
            done += (size_t)n;
        }
        close(channel[1]);
        fflush(stdout);
        fflush(stderr);
        _exit(failed ? 1 : 0);
    }
    close(channel[1]);
    std::string text;
    char buffer[65536];
    for (;;) {
        ssize_t n = read(channel[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        text.append(buffer, (size_t)n);
    }
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (output)
        *output = text;
    if (WIFSIGNALED(status)) {
        ADD_FAILURE() << (WTERMSIG(status) == SIGALRM ? "the run did not end"
                                                      : "the run crashed with signal ")
                      << (WTERMSIG(status) == SIGALRM ? "" : std::to_string(WTERMSIG(status)));
        return false;
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        ADD_FAILURE() << "the run failed (its failures are listed above)";
        return false;
    }
    return true;
}

/* Texts through the pipe: each as its length and its bytes. */
inline void pack_text(const std::string &text, std::string *out) {
    uint32_t size = (uint32_t)text.size();
    out->append((const char *)&size, sizeof size);
    out->append(text);
}

inline std::string unpack_text(const std::string &in, size_t *at) {
    uint32_t size = 0;
    if (*at + sizeof size > in.size())
        return std::string();
    memcpy(&size, in.data() + *at, sizeof size);
    *at += sizeof size;
    std::string text = in.substr(*at, size);
    *at += size;
    return text;
}

inline void pack_texts(const std::vector<std::string> &texts, std::string *out) {
    pack_text(std::to_string(texts.size()), out);
    for (const std::string &t : texts)
        pack_text(t, out);
}

inline std::vector<std::string> unpack_texts(const std::string &in, size_t *at) {
    size_t count = std::stoul("0" + unpack_text(in, at));
    std::vector<std::string> texts;
    for (size_t i = 0; i < count && *at < in.size(); i++)
        texts.push_back(unpack_text(in, at));
    return texts;
}

#endif
