// The worker side of chunk extraction: decryption and inflation of independent chunks on a small
// pool of threads. Reading, writing, progress and every message stay on the calling thread.
#include "archive/ChunkWorkers.h"

#include <cstring>
#include <new>

#include "archive/SolidBlockReader.h"
#include "base/ThreadStart.h"
#include "base/ZipCRC.h"
#include "compress/BlockDecoder.h"
#include "compress/ChunkInflater.h"
#include "compress/Output.h"
#include "archive/EntryCipher.h"
#include "platform/win32.h"

namespace {
constexpr int kMaxThreads = 8;
// About a tenth of a millisecond of pause instructions: longer than the run thread takes to
// write a small file and submit the next chunk.
constexpr int kSpinRounds = 2000;

// Keeps a chunk's output in its job up to a fixed room; beyond it the write fails and the chunk
// is left to the writer, which streams it to the real output instead.
class JobOutput : public Output {
 public:
  explicit JobOutput(DataBuffer &buffer) : m_buffer(buffer) {}
  bool rawWrite(const uint8_t *data, uint32_t length, ProgressMonitor *, LogBase &) override {
    if (length > ChunkWorkers::kOutputRoom - m_buffer.getSize()) return false;
    return m_buffer.append(data, length);
  }

 private:
  DataBuffer &m_buffer;
};
}  // namespace

struct ChunkWorkers::Worker {
  EntryCipher cipher;
  bool encrypted = false;
  ChunkInflater inflater;
  // Made for the first block of the solid layout.
  std::unique_ptr<BlockDecoder> blockDecoder;
};

void ChunkWorkers::decodeBlock(Worker &worker, DecodeJob &job) {
  LogNull quiet;
  job.decrypted = unsealBlock(worker.encrypted ? &worker.cipher : nullptr, job.chunk, job.data, quiet);
  job.decoded = false;
  job.crcTaken = false;
  const BlockCodec codec = BlockCodec(job.blockCodec);
  if (worker.blockDecoder == nullptr || worker.blockDecoder->codec() != codec ||
      worker.blockDecoder->blockLimit() != job.blockLimit) {
    worker.blockDecoder = BlockDecoder::create(codec, job.blockLimit);
  }
  if (!job.decrypted || worker.blockDecoder == nullptr) return;
  job.decoded = worker.blockDecoder->decodeInto(job.data.getData(), job.data.getSize(), job.rawSize, job.output, quiet);
}

int ChunkWorkers::defaultThreadCount() {
  DWORD processors = GetActiveProcessorCount(ALL_PROCESSOR_GROUPS);
  if (processors < 1) return 1;
  return processors > DWORD(kMaxThreads) ? kMaxThreads : int(processors);
}

ChunkWorkers::ChunkWorkers(int threads, const EntryCipher *cipher, bool takeCrc) : m_takeCrc(takeCrc) {
  if (threads < 1) threads = 1;
  // One job being written, one per worker being decoded, one read ahead.
  const int jobs = threads + 2;
  for (int i = 0; i < jobs; ++i) {
    DecodeJob *job = new (std::nothrow) DecodeJob;
    if (job == nullptr) break;
    m_jobs.push_back(job);
    m_states.push_back(State::Free);
  }
  // The last one is the calling thread's, for the jobs it decodes while it waits.
  for (int i = 0; i <= threads && m_jobs.size() >= 2; ++i) {
    Worker *worker = new (std::nothrow) Worker;
    if (worker == nullptr) break;
    if (cipher != nullptr) {
      worker->cipher.copyKeyFrom(*cipher);
      worker->encrypted = true;
    }
    m_workers.push_back(worker);
  }
  if (m_workers.size() == size_t(threads) + 1) m_helper = m_workers.back();
  const size_t started = m_helper != nullptr ? m_workers.size() - 1 : m_workers.size();
  // A thread the system refuses leaves its worker idle: the others, and the calling thread, take
  // its jobs; with none at all usable() sends the caller on alone.
  for (size_t i = 0; i < started; ++i) {
    if (!startThreadInto(m_threads, [this, i] { run(*m_workers[i]); })) break;
  }
}

ChunkWorkers::~ChunkWorkers() {
  {
    MutexLock hold(m_lock);
    m_stopping = true;
  }
  m_workReady.notify_all();
  for (std::thread &t : m_threads) t.join();
  for (Worker *w : m_workers) delete w;
  for (DecodeJob *j : m_jobs) delete j;
}

DecodeJob &ChunkWorkers::nextFree() {
  m_caller.check();
  return jobAt(m_submitted);
}

void ChunkWorkers::submit(bool claimed) {
  m_caller.check();
  {
    MutexLock hold(m_lock);
    stateAt(m_submitted) = State::Queued;
    ++m_submitted;
  }
  m_submissions.fetch_add(1, std::memory_order_release);
  if (claimed) ++m_claimed;
  m_workReady.notify_one();
}

bool ChunkWorkers::doneFrom(int first) {
  for (int serial = first; serial < m_submitted; ++serial) {
    if (stateAt(serial) != State::Done) return false;
  }
  return true;
}

void ChunkWorkers::dropUnclaimed() {
  m_caller.check();
  MutexLock hold(m_lock);
  const int first = m_released + m_claimed;
  // Those no worker has taken are withdrawn at once; the others are waited for.
  for (int serial = m_started > first ? m_started : first; serial < m_submitted; ++serial) {
    stateAt(serial) = State::Free;
  }
  if (m_submitted > first) m_submitted = m_started > first ? m_started : first;
  while (!doneFrom(first)) m_jobDone.wait(hold);
  for (int serial = first; serial < m_submitted; ++serial) stateAt(serial) = State::Free;
  m_submitted = first;
  if (m_started > first) m_started = first;
}

DecodeJob &ChunkWorkers::waitOldest() {
  m_caller.check();
  MutexLock hold(m_lock);
  while (stateAt(m_released) != State::Done) {
    // A job still queued means every worker is busy: rather than wait, this thread decodes it.
    if (m_helper != nullptr && jobQueued()) {
      decodeNext(*m_helper);
    } else {
      m_jobDone.wait(hold);
    }
  }
  return jobAt(m_released);
}

void ChunkWorkers::releaseOldest() {
  m_caller.check();
  MutexLock hold(m_lock);
  stateAt(m_released) = State::Free;
  ++m_released;
  if (m_claimed > 0) --m_claimed;
}

void ChunkWorkers::run(Worker &worker) {
  MutexLock hold(m_lock);
  for (;;) {
    if (!m_stopping && !jobQueued()) awaitSubmission();
    while (!m_stopping && !jobQueued()) m_workReady.wait(hold);
    if (m_stopping) return;
    decodeNext(worker);
  }
}

void ChunkWorkers::awaitSubmission() {
  // Small files come faster than a sleeping thread can be woken: waking it cost the reading
  // thread a system call per chunk, while this processor had nothing else to do.
  const unsigned seen = m_submissions.load(std::memory_order_acquire);
  m_lock.unlock();
  for (int i = 0; i < kSpinRounds && m_submissions.load(std::memory_order_acquire) == seen; ++i) {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#else
    std::this_thread::yield();
#endif
  }
  m_lock.lock();
}

void ChunkWorkers::decodeNext(Worker &worker) {
  const int serial = m_started++;
  stateAt(serial) = State::Running;
  DecodeJob &job = jobAt(serial);
  m_lock.unlock();

  if (job.blockCodec != 0) {
    decodeBlock(worker, job);
  } else {
    decodeChunk(worker, job);
  }

  m_lock.lock();
  stateAt(serial) = State::Done;
  m_jobDone.notify_one();
}

void ChunkWorkers::decodeChunk(Worker &worker, DecodeJob &job) {
  LogNull quiet;
  job.decrypted =
      !worker.encrypted || worker.cipher.openChunk(job.entry, job.chunk, job.last, job.data, quiet);
  job.decoded = false;
  job.output.clear();
  if (job.decrypted && !job.stored) {
    JobOutput out(job.output);
    job.decoded = worker.inflater.inflate(job.data.getData(), job.data.getSize(), out, nullptr, quiet);
  }
  job.crcTaken = m_takeCrc && (job.decoded || (job.decrypted && job.stored));
  if (job.crcTaken) {
    const DataBuffer &plain = job.decoded ? job.output : job.data;
    job.crc = ZipCRC::crc32(plain.getData(), plain.getSize());
  }
}
