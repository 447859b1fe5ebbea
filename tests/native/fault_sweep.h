/* fault_sweep.h: a deliverable's whole run under every single failure of the platform calls
 * it makes (sweep_every_failure), and stopped dead at every point of it (sweep_every_stop),
 * each run in a child process of the test.  Each run starts as a program starts, with its
 * program-wide buffers as loaded and no trace of an earlier run in the same test binary; a
 * crash ends only that run; a run that does not end is stopped.  The child's own check
 * failures are printed as they happen, with their traces. */
#ifndef TESTS_FAULT_SWEEP_H
#define TESTS_FAULT_SWEEP_H

#include <gtest/gtest.h>

#include "winsim.h"

#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <map>
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

/* ---- The sweeps ---- */

/* One deliverable's runs for a sweep.  `prepare` makes the fresh machine of a run (it makes no
 * platform call of the program's); `run` is the deliverable's whole run; `facts`, after the
 * clean run, packs what the checks need to know of it; `check(facts, api)` checks a machine
 * after a run in which `api` failed (or, for the stops, after the second run), and may tell
 * what it saw (lines; the stop sweep counts them). */
struct sweep_runs {
    std::function<void()> prepare;
    std::function<void()> run;
    std::function<std::string()> facts;
    std::function<std::string(const std::string &facts, const std::string &api)> check;
};

struct sweep_counts {
    int calls = 0, runs = 0, failed = 0;
    void add(const sweep_counts &c) {
        calls += c.calls;
        runs += c.runs;
        failed += c.failed;
    }
};

/* The clean run in a child: its calls (or its stop points) and its facts. */
inline bool clean_run(const sweep_runs &s, bool count_stops, std::vector<std::string> *calls,
                      std::string *facts) {
    std::string packed;
    bool passed = run_in_child(
        [&] {
            s.prepare();
            std::vector<std::string> made;
            if (count_stops) {
                EXPECT_FALSE(winsim_run_until_stop(0, s.run));
                made.assign((size_t)winsim_stop_points(), "stop point");
            } else {
                s.run();
                made = winsim_calls();
            }
            std::string out;
            pack_texts(made, &out);
            pack_text(s.facts(), &out);
            return out;
        },
        &packed);
    size_t at = 0;
    *calls = unpack_texts(packed, &at);
    *facts = unpack_text(packed, &at);
    return passed && !calls->empty();
}

/* The clean run, then one run per call that can fail with that call failing as it fails on
 * Windows: the same calls as the clean run up to the one that failed, then s.check. */
inline sweep_counts sweep_every_failure(const char *what, const sweep_runs &s) {
    sweep_counts counts;
    std::vector<std::string> calls;
    std::string facts;
    if (!clean_run(s, false, &calls, &facts)) {
        ADD_FAILURE() << "the clean run failed";
        return counts;
    }
    std::map<std::string, int> seen;
    for (size_t i = 0; i < calls.size(); i++) {
        const std::string api = calls[i];
        int nth = ++seen[api];
        if (!winsim_call_can_fail(api))
            continue; /* such a run is the clean run again */
        SCOPED_TRACE(api + " #" + std::to_string(nth));
        bool passed = run_in_child([&] {
            s.prepare();
            winsim_fail_call(api, nth);
            s.run();
            std::vector<std::string> made = winsim_calls();
            EXPECT_TRUE(made.size() > i &&
                        std::equal(calls.begin(), calls.begin() + i + 1, made.begin()))
                << "the same calls as the clean run up to the one that failed";
            s.check(facts, api);
            return std::string();
        });
        counts.runs++;
        if (!passed)
            counts.failed++;
    }
    counts.calls = (int)calls.size();
    printf("[ fault injection ] %s: %d calls, %d runs (one per call that can fail)\n", what,
           counts.calls, counts.runs);
    return counts;
}

/* The clean run, then one run per stop point, stopped dead there (killed, or cut off with the
 * whole machine by a power cut): `stopped(facts)` checks the machine Windows starts from and
 * returns what it saw (lines, counted in `states`); Windows starts, a second run, Windows
 * starts again, and s.check(facts, "") after it. */
inline sweep_counts sweep_every_stop(const char *what, bool power_cut, const sweep_runs &s,
                                     const std::function<std::string(const std::string &)> &stopped,
                                     std::map<std::string, int> *states) {
    sweep_counts counts;
    std::vector<std::string> points;
    std::string facts;
    if (!clean_run(s, true, &points, &facts)) {
        ADD_FAILURE() << "the clean run failed";
        return counts;
    }
    for (int stop = 1; stop <= (int)points.size(); stop++) {
        SCOPED_TRACE("stopped dead at stop point " + std::to_string(stop));
        std::string seen;
        bool passed = run_in_child(
            [&] {
                s.prepare();
                EXPECT_TRUE(winsim_run_until_stop(stop, s.run));
                if (power_cut)
                    winsim_power_cut();
                std::string report = stopped(facts);
                winsim_start_windows();
                s.run(); /* the second run */
                winsim_start_windows();
                return report + s.check(facts, "");
            },
            &seen);
        counts.runs++;
        if (!passed)
            counts.failed++;
        size_t at = 0;
        for (size_t end; (end = seen.find('\n', at)) != std::string::npos; at = end + 1)
            (*states)[seen.substr(at, end - at)]++;
    }
    counts.calls = (int)points.size();
    printf("[ stopped dead ] %s: %d stop points, each %s and run again\n", what, counts.calls,
           power_cut ? "cut off by a power cut" : "killed");
    return counts;
}

#endif
