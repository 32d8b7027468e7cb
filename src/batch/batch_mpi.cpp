#include "batch/batch_mpi.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <unistd.h>

#if defined(RANVIK_WITH_MPI)
#include <mpi.h>
#endif

namespace ranvik {

bool HaveMpi() {
#if defined(RANVIK_WITH_MPI)
    return true;
#else
    return false;
#endif
}

#if !defined(RANVIK_WITH_MPI)

Cluster StartCluster(int&, char**&) {
    return {};
}

void EndCluster(const Cluster&) {}

std::optional<BatchOutcome> RunAnimalsOnCluster(const Cluster&, const BatchInput& input,
                                                const std::vector<std::size_t>& order,
                                                const BatchOptions& options,
                                                const std::atomic<bool>& stop,
                                                BatchProgress& progress) {
    return RunAnimals(input, order, options, 1, stop, progress);
}

std::vector<double> GatherOnFirst(const Cluster&, const std::vector<double>& mine) {
    return mine;
}

#else

namespace {

constexpr int kTagWork = 1;
constexpr int kTagResult = 2;

bool StartedByMpirun() {
    for (const char* name : {"OMPI_COMM_WORLD_SIZE", "PMI_SIZE", "PMIX_RANK"}) {
        if (std::getenv(name) != nullptr) {
            return true;
        }
    }
    return false;
}

// A finished animal as sent to process 0: its index (-1 for a first request), whether it
// failed, its name and its summary lines.
std::string Pack(std::int64_t index, const AnimalResult* result, const std::string& lines) {
    std::string buffer(sizeof index, '\0');
    std::memcpy(buffer.data(), &index, sizeof index);
    if (result != nullptr) {
        buffer += result->failed ? '1' : '0';
        const auto id_size = static_cast<std::uint32_t>(result->id.size());
        buffer.append(reinterpret_cast<const char*>(&id_size), sizeof id_size);
        buffer += result->id;
        buffer += lines;
    }
    return buffer;
}

struct Unpacked {
    std::int64_t index = -1;
    bool failed = false;
    std::string id, lines;
};

Unpacked Unpack(const std::string& buffer) {
    Unpacked out;
    std::memcpy(&out.index, buffer.data(), sizeof out.index);
    if (out.index >= 0) {
        std::size_t at = sizeof out.index;
        out.failed = buffer[at++] == '1';
        std::uint32_t id_size = 0;
        std::memcpy(&id_size, buffer.data() + at, sizeof id_size);
        at += sizeof id_size;
        out.id = buffer.substr(at, id_size);
        out.lines = buffer.substr(at + id_size);
    }
    return out;
}

// What process 0 says if it is ended from outside (mpirun ends every process when one dies):
// kept ready, since a signal handler may only write it.
std::mutex g_message_mutex;
std::deque<std::string> g_messages; // older texts stay alive while a handler may read them
std::atomic<const std::string*> g_undone_message{nullptr};

extern "C" void OnEndedFromOutside(int) {
    if (const std::string* message = g_undone_message.load()) {
        ssize_t ignored = write(STDERR_FILENO, message->data(), message->size());
        (void)ignored;
    }
    _exit(1);
}

void SayUndone(const BatchInput& input, const std::vector<FinishedAnimal>& done) {
    std::string text = "\nranvik-batch: the run was ended before these animals were done:";
    int undone = 0;
    for (std::size_t k = 0; k < done.size(); ++k) {
        if (!done[k].done) {
            text += (undone++ == 0 ? " " : ", ") + input.animals[k].id;
        }
    }
    text += undone == 0 ? " none; the summary lists them all.\n"
                        : ".\nThe summary marks them \"Not done\"; run again with --resume for "
                          "them.\n";
    const std::lock_guard lock(g_message_mutex);
    g_messages.push_back(std::move(text));
    g_undone_message.store(&g_messages.back());
}

RunControl ControlFor(const Cluster& cluster, const std::atomic<bool>& stop) {
    RunControl control;
    control.parallel = !cluster.shares_node;
    control.progress = [&stop](double) { return !stop.load(); };
    return control;
}

} // namespace

Cluster StartCluster(int& argc, char**& argv) {
    Cluster cluster;
    if (!StartedByMpirun()) {
        return cluster;
    }
    int provided = 0;
    MPI_Init_thread(&argc, &argv, MPI_THREAD_FUNNELED, &provided);
    MPI_Comm_set_errhandler(MPI_COMM_WORLD, MPI_ERRORS_RETURN);
    MPI_Comm_rank(MPI_COMM_WORLD, &cluster.rank);
    MPI_Comm_size(MPI_COMM_WORLD, &cluster.size);
    MPI_Comm node;
    MPI_Comm_split_type(MPI_COMM_WORLD, MPI_COMM_TYPE_SHARED, 0, MPI_INFO_NULL, &node);
    int on_node = 1;
    MPI_Comm_size(node, &on_node);
    MPI_Comm_free(&node);
    cluster.shares_node = on_node > 1;
    return cluster;
}

void EndCluster(const Cluster& cluster) {
    if (cluster.size > 1 || StartedByMpirun()) {
        MPI_Finalize();
    }
}

std::optional<BatchOutcome> RunAnimalsOnCluster(const Cluster& cluster, const BatchInput& input,
                                                const std::vector<std::size_t>& order,
                                                const BatchOptions& options,
                                                const std::atomic<bool>& stop,
                                                BatchProgress& progress) {
    const RunControl control = ControlFor(cluster, stop);
    if (cluster.rank != 0) {
        // Ask, compute, answer with the result (which asks for the next), until told to stop.
        std::string message = Pack(-1, nullptr, {});
        while (true) {
            MPI_Send(message.data(), static_cast<int>(message.size()), MPI_BYTE, 0, kTagResult,
                     MPI_COMM_WORLD);
            std::int64_t index = -1;
            MPI_Recv(&index, 1, MPI_INT64_T, 0, kTagWork, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
            if (index < 0) {
                return std::nullopt;
            }
            TerminalNotifier notifier(input.animals[static_cast<std::size_t>(index)].id, true);
            const AnimalResult result =
                RunAnimal(input, static_cast<std::size_t>(index), options, control, notifier);
            message = result.cancelled
                          ? Pack(-1, nullptr, {})
                          : Pack(index, &result, SummaryLines(result, options.compare));
        }
    }

    std::signal(SIGTERM, OnEndedFromOutside);
    // Animals an earlier run finished are taken from their folders before any is handed out.
    RunSummary summary(input, options, progress);
    const std::vector<std::size_t> undone = summary.Undone(order);
    std::mutex mutex; // guards next and summary between this thread and the local worker
    std::size_t next = 0;
    SayUndone(input, summary.Animals());
    const auto take = [&]() -> std::int64_t {
        const std::lock_guard lock(mutex);
        if (stop.load() || next >= undone.size()) {
            return -1;
        }
        return static_cast<std::int64_t>(undone[next++]);
    };
    const auto finish = [&](std::size_t index, bool bad, std::string text, const std::string& id) {
        {
            const std::lock_guard lock(mutex);
            summary.Finish(index, bad, std::move(text));
            SayUndone(input, summary.Animals());
        }
        progress.Done(id, bad);
    };
    // Process 0 computes animals too, on a thread of its own; this thread only talks to the
    // others and sleeps between messages, so it takes no core from the work.
    std::thread local([&] {
        while (true) {
            const std::int64_t index = take();
            if (index < 0) {
                return;
            }
            const auto k = static_cast<std::size_t>(index);
            TerminalNotifier notifier(input.animals[k].id, options.quiet);
            const AnimalResult result = RunAnimal(input, k, options, control, notifier, &progress);
            if (result.cancelled) {
                return;
            }
            finish(k, result.failed, SummaryLines(result, options.compare), result.id);
        }
    });
    int working = cluster.size - 1;
    while (working > 0) {
        int arrived = 0;
        MPI_Status status;
        MPI_Iprobe(MPI_ANY_SOURCE, kTagResult, MPI_COMM_WORLD, &arrived, &status);
        if (arrived == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            continue;
        }
        int size = 0;
        MPI_Get_count(&status, MPI_BYTE, &size);
        std::string buffer(static_cast<std::size_t>(size), '\0');
        MPI_Recv(buffer.data(), size, MPI_BYTE, status.MPI_SOURCE, kTagResult, MPI_COMM_WORLD,
                 MPI_STATUS_IGNORE);
        Unpacked result = Unpack(buffer);
        if (result.index >= 0) {
            finish(static_cast<std::size_t>(result.index), result.failed, std::move(result.lines),
                   result.id);
        }
        const std::int64_t index = take();
        MPI_Send(&index, 1, MPI_INT64_T, status.MPI_SOURCE, kTagWork, MPI_COMM_WORLD);
        if (index < 0) {
            --working;
        }
    }
    local.join();
    return summary.Outcome();
}

std::vector<double> GatherOnFirst(const Cluster& cluster, const std::vector<double>& mine) {
    if (cluster.size == 1) {
        return mine;
    }
    const int count = static_cast<int>(mine.size());
    std::vector<int> counts(static_cast<std::size_t>(cluster.size));
    MPI_Gather(&count, 1, MPI_INT, counts.data(), 1, MPI_INT, 0, MPI_COMM_WORLD);
    std::vector<int> offsets(counts.size(), 0);
    for (std::size_t k = 1; k < counts.size(); ++k) {
        offsets[k] = offsets[k - 1] + counts[k - 1];
    }
    std::vector<double> all(
        cluster.rank == 0 ? static_cast<std::size_t>(offsets.back() + counts.back()) : 0);
    MPI_Gatherv(mine.data(), count, MPI_DOUBLE, all.data(), counts.data(), offsets.data(),
                MPI_DOUBLE, 0, MPI_COMM_WORLD);
    return all;
}

#endif

} // namespace ranvik
