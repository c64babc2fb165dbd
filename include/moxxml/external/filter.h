// MoxStreamProcess, MoxStreamContainer, MoxFilterContainer: stream processes (the
// transfer-encoding filters) and the container that chains them to a write callback.
#pragma once

#include <string>
#include <vector>

#include <moxxml/export.h>

// Results of the stream operations; every failure is negative.
enum MoxStreamResult {
  MOXSTREAM_OK = 0,                     // Success.
  MOXSTREAM_ERR_INVALID_ARGUMENT = -1,  // Negative length, or null data with a non-zero length.
  MOXSTREAM_ERR_NO_OUTPUT = -2,         // No write callback, or a process that has no output set.
  MOXSTREAM_ERR_WRITE_FAILED = -3,      // The write callback returned non-zero.
  MOXSTREAM_ERR_TYPE_MISMATCH = -4,     // CopyMembers from a process of another class.
};

// What GetFilterType reports; the numbers are those of the payload's transfer encodings.
enum MoxStreamFilterType : unsigned int {
  MOXSTREAM_TYPE_NONE = 0,
  MOXSTREAM_TYPE_QUOTED_PRINTABLE = 4,
  MOXSTREAM_TYPE_BASE64 = 5,
};

class MoxStreamContainer;
class MoxFilterContainer;

// Receives a process's output; returns MOXSTREAM_OK or a negative result that stops the process.
typedef int (*MoxStreamSink)(const char* data, int length, void* context);

// The container's write callback: data and length of one piece of output, a third argument
// that the container always passes as null, and the context set beside it. Non-zero fails
// the operation under way with MOXSTREAM_ERR_WRITE_FAILED.
typedef int (*MoxWriteCallback)(const char* data, int length, unsigned char* third, void* context);

// One stage of a stream: Update takes input in pieces of any size, Final flushes what is held,
// and the output goes, in blocks, to the sink set with SetOutput. A process is ready for a new
// stream after construction, Init, Reset, Cancel and Final. Results are MoxStreamResult codes;
// nothing throws except what a sink throws, which passes through. A process destroyed while
// in a container leaves its chain first.
class MOXXML_EXPORT MoxStreamProcess {
 public:
  MoxStreamProcess();
  // A copy has no output set and is in no container.
  MoxStreamProcess(const MoxStreamProcess& other);
  // Keeps this process's output.
  MoxStreamProcess& operator=(const MoxStreamProcess& other);
  virtual ~MoxStreamProcess();

  virtual int Init() = 0;
  virtual int Update(const char* data, int length) = 0;
  virtual int Final() = 0;
  // Drops what is held without writing it.
  virtual int Cancel();

 protected:
  // Copies the stream state (not the output) from a process of the same class.
  virtual int CopyMembers(const MoxStreamProcess& other);
  // True when other is of the same class and in the same stream state.
  virtual bool Equals(const MoxStreamProcess& other) const;

 public:
  virtual int Reset() = 0;
  virtual std::string GetDescription() const = 0;
  virtual unsigned int GetFilterType() const = 0;

  bool operator==(const MoxStreamProcess& other) const { return Equals(other); }
  bool operator!=(const MoxStreamProcess& other) const { return !Equals(other); }

  // The container sets this on AddProcess; set it directly only for a process used alone.
  void SetOutput(MoxStreamSink sink, void* context) {
    outputSink = sink;
    outputContext = context;
  }

 protected:
  // Hands one block of output on; MOXSTREAM_ERR_NO_OUTPUT when no output is set.
  int Emit(const char* data, int length);
  // Checks Update's arguments: MOXSTREAM_OK or MOXSTREAM_ERR_INVALID_ARGUMENT.
  static int CheckInput(const char* data, int length);

 private:
  friend class MoxFilterContainer;

  MoxStreamSink outputSink = nullptr;
  void* outputContext = nullptr;
  MoxStreamContainer* container = nullptr;  // the chain it is in, not owned
};

// The interface of a chain of stream processes ending in a write callback.
class MOXXML_EXPORT MoxStreamContainer {
 public:
  MoxStreamContainer();
  MoxStreamContainer(const MoxStreamContainer&) = delete;
  MoxStreamContainer& operator=(const MoxStreamContainer&) = delete;
  virtual ~MoxStreamContainer();

  virtual void ResetContainer() = 0;
  virtual void AddProcess(MoxStreamProcess* process) = 0;
  virtual void ReplaceProcess(MoxStreamProcess* oldProcess, MoxStreamProcess* newProcess) = 0;
  virtual int Init() = 0;
  virtual int Update(const char* data, int length) = 0;
  virtual int Final() = 0;
  virtual int Cancel() = 0;
  virtual int WriteCallback(const char* data, int length, unsigned char* third) = 0;
  virtual int LogCallback(const char* message, unsigned char* third, unsigned int level) = 0;
  virtual int LogCallback(const char* data, int length, unsigned char* third,
                          unsigned int level) = 0;
  virtual int DebugCallback(const char* data, int length, unsigned char* third) = 0;
};

// Feeds its input through the processes in the order they were added (the output of one is
// the input of the next) and the output of the last to writeCallback, in one or more calls;
// with no process the input goes to the callback as it is. By the return of Final everything
// has been written. The container does not own its processes: the caller releases them, after
// or before the container (removing them from the chain first). Not copyable, since a process
// can be wired into one chain only.
class MOXXML_EXPORT MoxFilterContainer : public MoxStreamContainer {
 public:
  MoxFilterContainer();
  ~MoxFilterContainer() override;

  // Removes every process from the chain; the callback and its context stay.
  void ResetContainer() override;
  // Appends process to the chain and initialises it, taking it out of any other container;
  // null and a process already in this chain are ignored.
  void AddProcess(MoxStreamProcess* process) override;
  // Puts newProcess, initialised, in oldProcess's place; a null newProcess removes oldProcess.
  // Nothing happens when oldProcess is not in the chain or newProcess already is.
  void ReplaceProcess(MoxStreamProcess* oldProcess, MoxStreamProcess* newProcess) override;
  int Init() override;
  int Update(const char* data, int length) override;
  int Final() override;
  int Cancel() override;
  // Passes output to writeCallback; MOXSTREAM_ERR_NO_OUTPUT when it is null.
  int WriteCallback(const char* data, int length, unsigned char* third) override;
  // The container keeps no log: the three hooks below do nothing and return MOXSTREAM_OK.
  int LogCallback(const char* message, unsigned char* third, unsigned int level) override;
  int LogCallback(const char* data, int length, unsigned char* third, unsigned int level) override;
  int DebugCallback(const char* data, int length, unsigned char* third) override;

  MoxWriteCallback writeCallback = nullptr;
  void* writeContext = nullptr;

 private:
  void Rewire();

  std::vector<MoxStreamProcess*> processes;
};
