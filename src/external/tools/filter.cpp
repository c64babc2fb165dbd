// MoxStreamProcess, MoxStreamContainer, MoxFilterContainer: the process base and the chain.
#include <algorithm>
#include <typeinfo>

#include <moxxml/external/filter.h>

namespace {

int ForwardToProcess(const char* data, int length, void* context) {
  return static_cast<MoxStreamProcess*>(context)->Update(data, length);
}

int ForwardToContainer(const char* data, int length, void* context) {
  return static_cast<MoxFilterContainer*>(context)->WriteCallback(data, length, nullptr);
}

}  // namespace

MoxStreamProcess::MoxStreamProcess() = default;

MoxStreamProcess::MoxStreamProcess(const MoxStreamProcess& /*other*/) {}

MoxStreamProcess& MoxStreamProcess::operator=(const MoxStreamProcess& /*other*/) { return *this; }

MoxStreamProcess::~MoxStreamProcess() {
  if (container != nullptr) container->ReplaceProcess(this, nullptr);
}

int MoxStreamProcess::Cancel() { return Reset(); }

int MoxStreamProcess::CopyMembers(const MoxStreamProcess& other) {
  return typeid(*this) == typeid(other) ? MOXSTREAM_OK : MOXSTREAM_ERR_TYPE_MISMATCH;
}

bool MoxStreamProcess::Equals(const MoxStreamProcess& other) const {
  return typeid(*this) == typeid(other);
}

int MoxStreamProcess::Emit(const char* data, int length) {
  if (outputSink == nullptr) return MOXSTREAM_ERR_NO_OUTPUT;
  if (length == 0) return MOXSTREAM_OK;
  return outputSink(data, length, outputContext);
}

int MoxStreamProcess::CheckInput(const char* data, int length) {
  if (length < 0 || (data == nullptr && length != 0)) return MOXSTREAM_ERR_INVALID_ARGUMENT;
  return MOXSTREAM_OK;
}

MoxStreamContainer::MoxStreamContainer() = default;
MoxStreamContainer::~MoxStreamContainer() = default;

MoxFilterContainer::MoxFilterContainer() = default;

MoxFilterContainer::~MoxFilterContainer() { ResetContainer(); }

void MoxFilterContainer::ResetContainer() {
  // The processes may outlive the container: leave none pointing at it.
  for (MoxStreamProcess* process : processes) {
    process->SetOutput(nullptr, nullptr);
    process->container = nullptr;
  }
  processes.clear();
}

void MoxFilterContainer::AddProcess(MoxStreamProcess* process) {
  // A process twice in the chain would feed itself.
  if (process == nullptr || process->container == this) return;
  // Room first: a process must never point at a container whose chain does not hold it.
  processes.reserve(processes.size() + 1);
  if (process->container != nullptr) process->container->ReplaceProcess(process, nullptr);
  processes.push_back(process);
  process->container = this;
  process->Init();
  Rewire();
}

void MoxFilterContainer::ReplaceProcess(MoxStreamProcess* oldProcess,
                                        MoxStreamProcess* newProcess) {
  auto found = std::find(processes.begin(), processes.end(), oldProcess);
  if (found == processes.end() || oldProcess == nullptr) return;
  if (newProcess != nullptr && newProcess->container == this) return;
  oldProcess->SetOutput(nullptr, nullptr);
  oldProcess->container = nullptr;
  if (newProcess == nullptr) {
    processes.erase(found);
  } else {
    if (newProcess->container != nullptr)
      newProcess->container->ReplaceProcess(newProcess, nullptr);
    *found = newProcess;
    newProcess->container = this;
    newProcess->Init();
  }
  Rewire();
}

void MoxFilterContainer::Rewire() {
  for (size_t i = 0; i + 1 < processes.size(); ++i) {
    processes[i]->SetOutput(&ForwardToProcess, processes[i + 1]);
  }
  if (!processes.empty()) processes.back()->SetOutput(&ForwardToContainer, this);
}

int MoxFilterContainer::Init() {
  int result = MOXSTREAM_OK;
  for (MoxStreamProcess* process : processes) {
    const int r = process->Init();
    if (result == MOXSTREAM_OK) result = r;
  }
  return result;
}

int MoxFilterContainer::Update(const char* data, int length) {
  if (length < 0 || (data == nullptr && length != 0)) return MOXSTREAM_ERR_INVALID_ARGUMENT;
  if (processes.empty()) return length == 0 ? MOXSTREAM_OK : WriteCallback(data, length, nullptr);
  return processes.front()->Update(data, length);
}

int MoxFilterContainer::Final() {
  // Each Final writes its tail into the next process, so the order matters.
  for (MoxStreamProcess* process : processes) {
    const int r = process->Final();
    if (r != MOXSTREAM_OK) return r;
  }
  return MOXSTREAM_OK;
}

int MoxFilterContainer::Cancel() {
  int result = MOXSTREAM_OK;
  for (MoxStreamProcess* process : processes) {
    const int r = process->Cancel();
    if (result == MOXSTREAM_OK) result = r;
  }
  return result;
}

int MoxFilterContainer::WriteCallback(const char* data, int length, unsigned char* third) {
  if (writeCallback == nullptr) return MOXSTREAM_ERR_NO_OUTPUT;
  return writeCallback(data, length, third, writeContext) == 0 ? MOXSTREAM_OK
                                                               : MOXSTREAM_ERR_WRITE_FAILED;
}

int MoxFilterContainer::LogCallback(const char* /*message*/, unsigned char* /*third*/,
                                    unsigned int /*level*/) {
  return MOXSTREAM_OK;
}

int MoxFilterContainer::LogCallback(const char* /*data*/, int /*length*/, unsigned char* /*third*/,
                                    unsigned int /*level*/) {
  return MOXSTREAM_OK;
}

int MoxFilterContainer::DebugCallback(const char* /*data*/, int /*length*/,
                                      unsigned char* /*third*/) {
  return MOXSTREAM_OK;
}
