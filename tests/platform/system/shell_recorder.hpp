// A stand-in program for the desktop's open verb: it writes the number of
// its arguments and each argument (NUL-ended) to a file beside itself.
#pragma once

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/temp_dir.hpp"

struct ShellRecorder {
    support::TempDir tmp{"quoril_shell"};
    const std::filesystem::path dir = tmp.path();

    // Writes the recorder under this name in dir; answers its path.
    std::string install(const std::string& name) const {
        const auto path = dir / name;
        std::ofstream(path) << "#!/bin/sh\n"
                               "d=$(dirname \"$0\")\n"
                               "printf '%s\\n' \"$#\" > \"$d/out.tmp\"\n"
                               "for a in \"$@\"; do printf '%s\\0' \"$a\" >> \"$d/out.tmp\"; done\n"
                               "mv \"$d/out.tmp\" \"$d/out\"\n";
        ::chmod(path.c_str(), 0755);
        return path.string();
    }
    // The arguments of the last run, waiting up to 5 s for it; false when
    // it did not run.
    bool arguments(std::vector<std::string>& args) const {
        const auto out = dir / "out";
        for (int i = 0; i < 500 && !std::filesystem::exists(out); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!std::filesystem::exists(out)) return false;
        std::ifstream in(out, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        const std::string all = ss.str();
        std::filesystem::remove(out);
        const std::size_t nl = all.find('\n');
        args.clear();
        std::size_t pos = nl + 1;
        while (pos < all.size()) {
            const std::size_t end = all.find('\0', pos);
            args.push_back(all.substr(pos, end - pos));
            pos = end + 1;
        }
        return std::to_string(args.size()) == all.substr(0, nl);
    }
    // Texts that a command interpreter would act on; each would leave a
    // file named "pwned<n>" in dir if anything ran them.
    std::vector<std::string> hostileTexts() const {
        const std::string d = dir.string();
        return {
            "x\"; touch " + d + "/pwned1; \"",
            "$(touch " + d + "/pwned2)",
            "`touch " + d + "/pwned3`",
            "a b  c 'd' \"e\"",
            "; touch " + d + "/pwned4",
            "| touch " + d + "/pwned5 &&",
            "-rf",
            "--help",
            "http://example.org/?a=1&b=$(touch " + d + "/pwned6)",
        };
    }
    bool anythingRan() const {
        for (const auto& e : std::filesystem::directory_iterator(dir))
            if (e.path().filename().string().rfind("pwned", 0) == 0) return true;
        return false;
    }
};
