// lumaro-devserver: a stand-in Lumaro asset server for tests, benchmarks and demos.

#include "CategoryTree.h"
#include "FaultRules.h"
#include "LumaroServer.h"
#include "Options.h"
#include "RequestLog.h"

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <pthread.h>
#include <thread>

int main(int argc, char **argv)
{
    const std::string program = "lumaro-devserver";
    const ParseResult parsed = parseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (parsed.showHelp) {
        std::cout << usageText(program);
        return 0;
    }
    if (!parsed.error.empty()) {
        std::cerr << program << ": " << parsed.error << "\n(see --help)\n";
        return 2;
    }
    const Options &options = parsed.options;

    // Block the stop signals before any thread exists so every thread inherits
    // the mask and only the waiter below ever receives them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    // A client hanging up mid-response must not kill the server.
    std::signal(SIGPIPE, SIG_IGN);

    std::unique_ptr<LumaroServer> server;
    try {
        if (!options.uploadDir.empty() && !std::filesystem::is_directory(options.uploadDir))
            throw std::runtime_error("--upload-dir is not a directory: " + options.uploadDir);
        CategoryTree tree = CategoryTree::loadFile(options.treeFile);
        if (options.parentCycle)
            tree.makeParentCycle(options.parentCycle->first, options.parentCycle->second);
        nlohmann::json types = options.categoryTypesFile.empty()
                                   ? defaultCategoryTypes(!options.noFolderType)
                                   : loadCategoryTypes(options.categoryTypesFile);
        if (!options.categoryTypesFile.empty() && options.noFolderType) {
            nlohmann::json kept = nlohmann::json::array();
            for (const auto &type : types)
                if (type["name"] != "Folder")
                    kept.push_back(type);
            types = kept;
        }
        server = std::make_unique<LumaroServer>(options, std::move(tree), std::move(types),
                                                FaultRules::parse(options.faults),
                                                std::make_unique<RequestLog>(options.logFile, options.quiet));
    } catch (const std::exception &e) {
        std::cerr << program << ": " << e.what() << "\n";
        return 1;
    }

    std::string error;
    if (!server->bind(error)) {
        std::cerr << program << ": " << error << "\n";
        return 1;
    }

    std::string users;
    for (const User &user : options.users)
        users += (users.empty() ? "" : ", ") + user.name;
    std::printf("%s listening on %s://127.0.0.1:%d/%s (users: %s)\n", program.c_str(),
                options.tlsCert.empty() ? "http" : "https", server->port(),
                options.appPath.c_str(), users.c_str());
    std::fflush(stdout);

    std::mutex finishedMutex;
    std::condition_variable finishedSignal;
    bool finished = false;
    std::thread waiter([&] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        server->stop();
        // Let requests in progress finish; cpp-httplib would also sit out the
        // keep-alive timeout of every idle connection, which nobody needs.
        server->waitUntilIdle(std::chrono::seconds(5));
        std::unique_lock lock(finishedMutex);
        if (!finishedSignal.wait_for(lock, std::chrono::milliseconds(200), [&] { return finished; })) {
            if (!options.quiet)
                std::fprintf(stderr, "%s: stopped\n", program.c_str());
            std::fflush(nullptr); // every log line is already flushed
            std::_Exit(0);
        }
    });
    server->run();
    {
        std::lock_guard lock(finishedMutex);
        finished = true;
    }
    finishedSignal.notify_all();
    // Normally run() returns because the waiter stopped it; if it ended by
    // itself, wake the waiter so it can be joined.
    pthread_kill(waiter.native_handle(), SIGTERM);
    waiter.join();
    if (!options.quiet)
        std::cerr << program << ": stopped\n";
    return 0;
}
