// Runs setupcheck's command line in the test process and keeps what it
// printed; a folder of the host's for the files it is given.
#ifndef TESTS_CHECKER_RUN_CHECKER_H
#define TESTS_CHECKER_RUN_CHECKER_H

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "checker/setupcheck.h"

struct CheckerRun {
    int exit_code;
    std::string out;
    std::string err;
};

inline CheckerRun run_checker(std::vector<std::string> args)
{
    args.insert(args.begin(), "setupcheck");
    std::vector<char *> argv;
    for (std::string &arg : args)
        argv.push_back(&arg[0]);
    char *text[2] = {nullptr, nullptr};
    size_t size[2] = {0, 0};
    FILE *out = open_memstream(&text[0], &size[0]);
    FILE *err = open_memstream(&text[1], &size[1]);
    CheckerRun run;
    run.exit_code = run_setupcheck((int)argv.size(), argv.data(), out, err);
    std::fclose(out);
    std::fclose(err);
    run.out.assign(text[0], size[0]);
    run.err.assign(text[1], size[1]);
    std::free(text[0]);
    std::free(text[1]);
    return run;
}

// A fresh host folder, removed with everything in it.
struct HostFolder {
    std::string path;

    HostFolder()
    {
        char pattern[] = "/tmp/setupcheck-test-XXXXXX";
        path = mkdtemp(pattern);
    }
    ~HostFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    // Writes the bytes to the file below the folder; returns its path.
    std::string put(const std::string &name, const std::string &bytes) const
    {
        std::filesystem::path file = std::filesystem::path(path) / name;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << bytes;
        return file.string();
    }
};

#endif
