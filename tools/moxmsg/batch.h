// OutputName, PlanOutputs, RunBatch: one document per input file, written into an output
// directory by a pool of workers.
#pragma once

#include <string>
#include <vector>

#include "document.h"
#include "options.h"

namespace moxmsg {

// The name of input's document: its file name with the extension replaced by ".xml" (".xml"
// appended when it has none); "stdin.xml" for "-".
std::string OutputName(const std::string& input);

// The output path of every input, in order. Throws UsageError when two inputs would write one
// output or an output would replace its own input; nothing has been written then.
std::vector<std::string> PlanOutputs(const std::string& dir,
                                     const std::vector<std::string>& inputs);

// The number of cores this process may run on.
unsigned DefaultJobs();

// Creates the output directory, then makes the documents of all inputs with settings.jobs
// workers, fewer when not all their buffers can be allocated (with none, every input fails).
// Each failure is one line on standard error and the others go on. Returns the exit status:
// 0 when every document was written, else 1. Throws FileError when the output directory
// cannot be made.
int RunBatch(const Settings& settings, const OptionFiles& files,
             const std::vector<std::string>& outputs);

}  // namespace moxmsg
