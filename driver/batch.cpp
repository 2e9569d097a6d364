#include "driver/batch.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <system_error>
#include <thread>

#include "driver/command_line.h"
#include "driver/earlier_outputs.h"
#include "platform/atomic_file.h"
#include "platform/child_process.h"
#include "platform/input_file.h"
#include "platform/interrupt.h"
#include "platform/output_file.h"

namespace vandrel {

namespace fs = std::filesystem;

namespace {

constexpr unsigned max_jobs = 1024;

struct input_result {
    std::string input;
    uint64_t size = 0;
    bool run = false;  // the command was started (or the input refused)
    bool ok = false;
    std::string reason;  // why it failed
    std::vector<std::string> warnings;
    std::vector<std::string> rows;
    std::string end_offset;
    std::vector<std::string> written;
};

// The inputs with every folder replaced by its files, sorted by name (by
// path below it with --recursive). A file that another input would write as
// an output (the tables of an earlier batch beside the inputs) is no input.
std::vector<std::string> expand_inputs(const batch_command& command, const batch_options& b,
                                       const std::vector<std::string>& given) {
    std::vector<std::string> inputs;
    std::vector<std::string> listed;
    for (const std::string& g : given) {
        std::error_code ec;
        const fs::path p = fs::u8path(g);
        if (!fs::is_directory(p, ec)) {
            inputs.push_back(g);
            continue;
        }
        std::vector<std::string> files;
        const auto add = [&](const fs::directory_entry& e) {
            std::error_code fec;
            if (e.is_regular_file(fec)) files.push_back(e.path().generic_u8string());
        };
        if (b.recursive) {
            for (fs::recursive_directory_iterator it(p, ec), end; !ec && it != end; it.increment(ec)) add(*it);
        } else {
            for (fs::directory_iterator it(p, ec), end; !ec && it != end; it.increment(ec)) add(*it);
        }
        std::sort(files.begin(), files.end());
        inputs.insert(inputs.end(), files.begin(), files.end());
        listed.insert(listed.end(), files.begin(), files.end());
    }
    std::vector<std::string> outputs;
    for (const std::string& in : inputs)
        for (const std::string& out : command.outputs(in, b.output_dir))
            outputs.push_back(fs::u8path(out).lexically_normal().u8string());
    std::sort(outputs.begin(), outputs.end());
    inputs.erase(std::remove_if(inputs.begin(), inputs.end(),
                                [&](const std::string& in) {
                                    return std::find(listed.begin(), listed.end(), in) != listed.end() &&
                                           std::binary_search(outputs.begin(), outputs.end(),
                                                              fs::u8path(in).lexically_normal().u8string());
                                }),
                 inputs.end());
    return inputs;
}

// The key under which two names are one file.
std::string file_key(const std::string& path) {
    std::error_code ec;
    fs::path p = fs::absolute(fs::u8path(path), ec).lexically_normal();
    std::string key = p.u8string();
#ifdef _WIN32
    for (char& c : key)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
#endif
    return key;
}

// Empty when no two inputs would write the same output; else the reason.
std::string find_clash(const batch_command& command, const batch_options& b, const std::vector<std::string>& inputs) {
    std::map<std::string, std::string> writer;
    for (const std::string& in : inputs) {
        std::vector<std::string> outputs = command.outputs(in, b.output_dir);
        outputs.insert(outputs.end(), command.shared_outputs.begin(), command.shared_outputs.end());
        for (const std::string& out : outputs) {
            const auto [it, fresh] = writer.emplace(file_key(out), in);
            if (!fresh && it->second != in) {
                std::string clash = it->second;
                clash.append(" and ").append(in).append(" would both write ").append(out);
                return clash;
            }
            if (!fresh) return in + " is given twice";
        }
    }
    return std::string();
}

std::string read_all(const std::string& path) {
    std::ifstream f(fs::u8path(path), std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream s(text);
    for (std::string line; std::getline(s, line);) {
        // The decoders' console text rewrites lines with "\r"; the last
        // version of a line counts.
        const std::size_t cr = line.find_last_of('\r', line.size() > 1 ? line.size() - 2 : 0);
        if (cr != std::string::npos && cr + 1 < line.size()) line.erase(0, cr + 1);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

// Runs one input and fills its result.
void run_one(const batch_command& command, const batch_options& b, const std::string& scratch, std::size_t index,
             input_result& r) {
    r.run = true;
    std::error_code ec;
    const uintmax_t size = fs::file_size(fs::u8path(r.input), ec);
    r.size = ec ? 0 : static_cast<uint64_t>(size);
    input_file probe;
    if (!probe.open(r.input)) {
        r.reason = "cannot be opened";
        return;
    }
    probe.close();

    std::vector<std::string> args = {command.path};
    args.insert(args.end(), command.options.begin(), command.options.end());
    if (!b.output_dir.empty()) {
        args.push_back("--output-dir");
        args.push_back(b.output_dir);
    }
    // As one would type it, so that the outputs' history is that of a run
    // by hand.
    if (r.input.size() > 1 && r.input[0] == '-') args.push_back("--");
    args.push_back(r.input);
    const std::string out_path = scratch + "/" + std::to_string(index) + ".out";
    const std::string err_path = scratch + "/" + std::to_string(index) + ".err";
    const std::vector<output_state> before = look_at_outputs(command.outputs(r.input, b.output_dir));
    const int status = run_program(args, out_path, err_path);
    std::vector<std::string> earlier;
    sort_outputs(before, r.written, earlier);
    const std::string console = read_all(out_path);
    const std::string errors = read_all(err_path);
    remove_file(out_path);
    remove_file(err_path);

    r.rows = command.rows(console);
    r.end_offset = command.end_offset(console);
    // The runs' messages, without the program's name: warnings, and the
    // last error (on standard output, "Error: ...", for vandrel's historic
    // lines).
    const std::string prefix = std::string(command.program) + ": ";
    for (std::string line : lines_of(errors)) {
        if (line.compare(0, prefix.size(), prefix) == 0) line.erase(0, prefix.size());
        if (line.compare(0, 9, "warning: ") == 0) {
            r.warnings.push_back(line.substr(9));
        } else if (line.compare(0, 4, "Try ") != 0) {
            r.reason = line;
        }
    }
    for (const std::string& line : lines_of(console)) {
        if (line.compare(0, 7, "Error: ") == 0) r.reason = line.substr(7);
        if (line == "No data found") r.warnings.push_back("no data found");
    }
    if (status == -1) r.reason = "cannot run " + command.path;
    if (status == exit_interrupted && r.reason.empty()) r.reason = "interrupted";
    r.ok = status == 0;
    if (!r.ok && r.reason.empty()) r.reason = "exit status " + std::to_string(status);
}

std::string join(const std::vector<std::string>& parts, const char* between) {
    std::string s;
    for (std::size_t i = 0; i < parts.size(); ++i) s += (i > 0 ? between : "") + parts[i];
    return s;
}

std::string console_line(const input_result& r) {
    if (!r.ok) return r.input + ": failed: " + r.reason;
    return r.input + ": ok" + (r.warnings.empty() ? "" : ", warning: " + join(r.warnings, "; "));
}

// A CSV field, quoted when it holds a comma, a quote or a line end.
std::string csv(const std::string& field) {
    if (field.find_first_of(",\"\r\n") == std::string::npos) return field;
    std::string q = "\"";
    for (char c : field) q += c == '"' ? std::string("\"\"") : std::string(1, c);
    return q + "\"";
}

bool write_summary(const batch_command& command, const std::string& path, const std::vector<input_result>& results) {
    const std::string temp = temporary_path_for(path);
    output_file f;
    if (!f.create(temp)) return false;
    std::vector<std::string> header = {"input", "size", "status", "reason"};
    header.insert(header.end(), command.row_columns.begin(), command.row_columns.end());
    for (const char* c : {"end_offset", "bytes_not_decoded", "warnings", "outputs"}) header.emplace_back(c);
    f.write(join(header, ","));
    f.end_line();
    for (const input_result& r : results) {
        std::vector<std::string> row = {csv(r.input), std::to_string(r.size),
                                        !r.run ? "not run"
                                        : r.ok ? "ok"
                                               : "failed",
                                        csv(r.reason)};
        for (std::size_t i = 0; i < command.row_columns.size(); ++i) row.push_back(i < r.rows.size() ? r.rows[i] : "");
        row.push_back(r.end_offset);
        const uint64_t end = r.end_offset.empty() ? r.size : std::stoull(r.end_offset);
        row.push_back(r.end_offset.empty() || end > r.size ? "" : std::to_string(r.size - end));
        row.push_back(csv(join(r.warnings, "; ")));
        row.push_back(csv(join(r.written, ";")));
        f.write(join(row, ","));
        f.end_line();
    }
    if (!f.close() || !replace_file(temp, path)) {
        remove_file(temp);
        return false;
    }
    return true;
}

}  // namespace

std::vector<std::string> batch_value_options() { return {"--output-dir", "--jobs", "--summary"}; }

option_result take_batch_option(const std::vector<std::string>& args, std::size_t& i, batch_options& b,
                                std::string& error) {
    const std::string& a = args[i];
    if (a == "--batch" || a == "--recursive") {
        (a == "--batch" ? b.batch : b.recursive) = true;
        return option_result::taken;
    }
    if (a != "--output-dir" && a != "--jobs" && a != "--summary") return option_result::not_mine;
    if (i + 1 >= args.size() || args[i + 1].empty()) {
        error = "option " + a + " needs a value";
        return option_result::bad;
    }
    const std::string& value = args[++i];
    if (a == "--output-dir") {
        b.output_dir = value;
    } else if (a == "--summary") {
        b.summary = value;
    } else {
        unsigned n = 0;
        for (char c : value)
            n = c >= '0' && c <= '9' && n <= max_jobs ? n * 10 + static_cast<unsigned>(c - '0') : max_jobs + 1;
        if (n == 0 || n > max_jobs) {
            error = "--jobs takes a number of runs from 1 to " + std::to_string(max_jobs) + ", not '" + value + "'";
            return option_result::bad;
        }
        b.jobs = n;
    }
    return option_result::taken;
}

option_result take_shared_option(const std::vector<std::string>& args, std::size_t& i, bool with_dives,
                                 output_options& o, batch_options& b, std::vector<std::string>& forward,
                                 std::string& error) {
    const std::size_t start = i;
    const option_result r = take_output_option(args, i, with_dives, o, error);
    if (r == option_result::taken) {
        forward.insert(forward.end(), args.begin() + static_cast<std::ptrdiff_t>(start),
                       args.begin() + static_cast<std::ptrdiff_t>(i) + 1);
    }
    return r != option_result::not_mine ? r : take_batch_option(args, i, b, error);
}

std::string check_batch_options(const batch_options& b) {
    if (!b.batch && (b.jobs != 0 || !b.summary.empty() || b.recursive))
        return "--jobs, --summary and --recursive go with --batch";
    return std::string();
}

int run_batch(const batch_command& command, const batch_options& b, const std::vector<std::string>& given) {
    const std::vector<std::string> inputs = expand_inputs(command, b, given);
    if (inputs.empty()) {
        print_usage_error(command.program, "--batch found no input file");
        return exit_usage;
    }
    if (const std::string clash = find_clash(command, b, inputs); !clash.empty()) {
        std::fprintf(stderr, "%s: %s; nothing was run\n", command.program, clash.c_str());
        return exit_usage;
    }
    std::error_code ec;
    if (!b.output_dir.empty()) fs::create_directories(fs::u8path(b.output_dir), ec);
    if (ec) {
        std::fprintf(stderr, "%s: cannot create the folder %s: %s\n", command.program, b.output_dir.c_str(),
                     ec.message().c_str());
        return 1;
    }
    // The runs' console text goes to files in a folder of this process's own.
    fs::path tmp = fs::temp_directory_path(ec);
    const std::string scratch = temporary_path_for((tmp / (std::string(command.program) + "-batch")).u8string());
    if (ec || !fs::create_directory(fs::u8path(scratch), ec)) {
        std::fprintf(stderr, "%s: cannot create the folder %s\n", command.program, scratch.c_str());
        return 1;
    }

    std::vector<input_result> results(inputs.size());
    std::vector<bool> done(inputs.size(), false);
    for (std::size_t i = 0; i < inputs.size(); ++i) results[i].input = inputs[i];
    std::atomic<std::size_t> next{0};
    std::mutex m;
    std::size_t printed = 0;
    const auto worker = [&]() {
        for (;;) {
            const std::size_t i = next++;
            if (i >= inputs.size() || interrupt_requested()) return;
            run_one(command, b, scratch, i, results[i]);
            // One line per input, in the order of the inputs.
            const std::lock_guard<std::mutex> lock(m);
            done[i] = true;
            for (; printed < inputs.size() && done[printed]; ++printed)
                std::fprintf(stderr, "%s\n", console_line(results[printed]).c_str());
            std::fflush(stderr);
        }
    };
    unsigned jobs = b.jobs != 0 ? b.jobs : std::max(1u, std::thread::hardware_concurrency());
    if (jobs > inputs.size()) jobs = static_cast<unsigned>(inputs.size());
    std::vector<std::thread> threads;
    for (unsigned j = 1; j < jobs; ++j) threads.emplace_back(worker);
    worker();
    for (std::thread& t : threads) t.join();
    fs::remove_all(fs::u8path(scratch), ec);

    std::size_t ok = 0, failed = 0;
    for (const input_result& r : results) (r.ok ? ok : failed) += r.run ? 1 : 0;
    const std::size_t not_run = inputs.size() - ok - failed;
    for (std::size_t i = printed; i < inputs.size(); ++i)
        if (results[i].run) std::fprintf(stderr, "%s\n", console_line(results[i]).c_str());
    std::fprintf(stderr, "%s: %zu inputs: %zu ok, %zu failed", command.program, inputs.size(), ok, failed);
    if (not_run > 0) std::fprintf(stderr, ", %zu not run (interrupted)", not_run);
    std::fprintf(stderr, "\n");
    int status = interrupt_requested() ? exit_interrupted : failed > 0 ? 1 : 0;
    if (!b.summary.empty() && !write_summary(command, b.summary, results)) {
        std::fprintf(stderr, "%s: cannot write the summary %s\n", command.program, b.summary.c_str());
        if (status == 0) status = 1;
    }
    return status;
}

}  // namespace vandrel
