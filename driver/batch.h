// Batch mode, shared by both commands: every input of a deployment is run
// as the single-file command would run it, with the same options.
//
// Each input is a command of its own (the same program, started again with
// the single-file command line), up to --jobs at a time, each waited for by
// a thread of this process. A run keeps its state in its own process: its
// console lines, progress and interrupt flag stay its own, a crash or a
// failed run ends no other, and its outputs are those of a run by hand,
// byte for byte. This process captures each run's console text, tells one
// line per input on standard error in the order of the inputs, and writes
// the summary.
#pragma once

#include <string>
#include <vector>

#include "driver/output_options.h"

namespace vandrel {

struct batch_options {
    bool batch = false;      // --batch
    std::string output_dir;  // --output-dir DIR; empty: beside each input
    unsigned jobs = 0;       // --jobs N; 0: one per processor
    std::string summary;     // --summary FILE
    bool recursive = false;  // --recursive
};

// The options of batch mode that take a value, for split_option_values.
std::vector<std::string> batch_value_options();

// Like take_output_option, for --batch, --output-dir, --jobs, --summary and
// --recursive. --output-dir is taken in single-file runs too (it puts the
// outputs in DIR); the others make sense in batch mode only, which the
// caller checks with check_batch_options.
option_result take_batch_option(const std::vector<std::string>& args, std::size_t& i, batch_options& b,
                                std::string& error);

// Takes args[i] when it is one of the options both commands share: those
// of the further outputs (take_output_option), which also go to forward to
// be handed on to every run of a batch, and the batch's own.
option_result take_shared_option(const std::vector<std::string>& args, std::size_t& i, bool with_dives,
                                 output_options& o, batch_options& b, std::vector<std::string>& forward,
                                 std::string& error);

// A usage error among the batch options once all are read; empty if none.
std::string check_batch_options(const batch_options& b);

// What a command tells the batch about itself.
struct batch_command {
    const char* program = "";          // its name, for messages
    std::string path;                  // the program file run for each input
    std::vector<std::string> options;  // the single-file options every run gets
    // Every file the command may write for an input, with outputs in dir
    // (empty: beside the input).
    std::vector<std::string> (*outputs)(const std::string& input, const std::string& dir) = nullptr;
    // Files that every input would write (the debug dump's fixed path).
    std::vector<std::string> shared_outputs;
    // The summary's columns of rows, and their values from a run's
    // standard output.
    std::vector<std::string> row_columns;
    std::vector<std::string> (*rows)(const std::string& console) = nullptr;
    // Where decoding ended, from a run's standard output; empty if untold.
    std::string (*end_offset)(const std::string& console) = nullptr;
};

// Runs every input (a folder stands for the files in it, sorted by name) and
// returns the batch's exit status: 0 when every input succeeded, 1 when one
// failed, exit_usage when the inputs cannot be run together (two would write
// the same output), exit_interrupted after an interrupt.
int run_batch(const batch_command& command, const batch_options& b, const std::vector<std::string>& given);

}  // namespace vandrel
