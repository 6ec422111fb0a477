#pragma once

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "base/DataBuffer.h"
#include "base/Mutex.h"
#include "base/ThreadOwner.h"

class EntryCipher;

// One chunk on its way from the reader to the writer, with the buffers it owns.
// The reader (the thread that calls unzipNextEntry) fills it and submits it; a worker owns it
// from then until it marks it done; then the same calling thread writes and releases it.
struct DecodeJob {
  // The chunk as stored; a worker decrypts it in place.
  DataBuffer data;
  uint32_t storedSize = 0;
  bool stored = false;
  // Its place: the entry's index, the chunk's within the file, and whether it is the file's last.
  uint32_t entry = 0;
  uint32_t chunk = 0;
  bool last = false;
  // Where the body starts in the entry stream, and its size word: how a chunk decoded ahead of
  // the reader is recognised when the reader gets there.
  uint64_t offset = 0;
  uint32_t sizeWord = 0;
  // Archive bytes counted for the progress report of this chunk (header and size words).
  uint32_t pending = 0;
  // Set by the worker: the data is plain now, and for a deflated chunk `output` holds all of it.
  bool decrypted = false;
  bool decoded = false;
  DataBuffer output;
  // Set by a worker that takes CRCs: the CRC-32 of the chunk's plain contents (`output`, or the
  // decrypted `data` of a stored chunk), taken while they are still in its cache.
  bool crcTaken = false;
  uint32_t crc = 0;
  // A block of the solid layout instead of a chunk: its codec (0 for a chunk), its declared
  // decoded size, and the payload's largest block, which bounds the decoder. `output` then
  // receives the whole block.
  uint8_t blockCodec = 0;
  uint32_t rawSize = 0;
  uint32_t blockLimit = 0;
};

// A fixed number of chunk jobs (or solid blocks) decoded by a pool of threads and handed back in the order they
// were submitted. The oldest jobs in flight are claimed: the reader has reached them. Those after
// them were submitted ahead of the reader, from chunks of later entries it has not parsed yet,
// and are claimed one by one as it gets there, or dropped. What a worker cannot finish (a decode error, a chunk that expands beyond the
// job's output room, memory it cannot get) it leaves undone, and the writer redoes that chunk on
// its own thread with the real log and output, so that every message stays what it would be.
//
// Sharing: the job ring's states and the workers' index are guarded by `m_lock`; the other
// indices, and every public member, are the calling thread's (the run thread, the one that made
// it). A job's buffers belong to whoever holds the job at that moment (see DecodeJob): a worker,
// or the calling thread while it decodes one itself in waitOldest(). Each worker, and the
// calling thread, owns its cipher and decoder.
class ChunkWorkers {
 public:
  // A deflated chunk's output is kept only up to this many bytes: the size of one write of the
  // inflater, so that a chunk kept whole is written exactly as it would be without workers.
  static constexpr uint32_t kOutputRoom = 2048576;

  // The thread count for this machine: one per processor, at most 8.
  static int defaultThreadCount();

  // `cipher` (null for a plain payload) is copied for each worker. With `takeCrc` the workers
  // also take each finished chunk's CRC-32, for a payload whose files carry check values.
  ChunkWorkers(int threads, const EntryCipher *cipher, bool takeCrc);
  ~ChunkWorkers();
  ChunkWorkers(const ChunkWorkers &) = delete;
  ChunkWorkers &operator=(const ChunkWorkers &) = delete;

  // False when no thread could be started: then nothing submitted would ever be done.
  bool usable() const { return !m_threads.empty(); }
  int inFlight() const { return m_submitted - m_released; }
  bool full() const { return inFlight() == int(m_jobs.size()); }
  // The next job to fill; only while not full.
  DecodeJob &nextFree();
  // Hands the job from nextFree() to the workers, claimed at once or ahead of the reader.
  void submit(bool claimed);
  int claimed() const { return m_claimed; }
  int unclaimed() const { return inFlight() - m_claimed; }
  // The oldest job submitted ahead of the reader; only while there is one.
  DecodeJob &firstUnclaimed() { return jobAt(m_released + m_claimed); }
  void claim() {
    m_caller.check();
    ++m_claimed;
  }
  // Forgets every job submitted ahead of the reader, waiting for those a worker has begun.
  void dropUnclaimed();
  // Waits until the oldest job in flight (claimed or not) is done and gives it to the caller; only while some job is
  // in flight. It stays counted until releaseOldest(). While it waits, the calling thread decodes
  // jobs no worker has taken yet.
  DecodeJob &waitOldest();
  void releaseOldest();

 private:
  enum class State : uint8_t { Free, Queued, Running, Done };
  struct Worker;

  void run(Worker &worker);
  // The job at the workers' index was submitted and no one has begun it.
  bool jobQueued() REQUIRES(m_lock) { return stateAt(m_started) == State::Queued; }
  // A worker with nothing to do first watches for a submission for a short while, with the lock
  // released, before it sleeps.
  void awaitSubmission() REQUIRES(m_lock);
  // Takes the next queued job and decodes it with `worker`'s cipher and decoder, the lock
  // released meanwhile.
  void decodeNext(Worker &worker) REQUIRES(m_lock);
  // Every job from serial `first` on that is in flight is done.
  bool doneFrom(int first) REQUIRES(m_lock);
  // What a worker does to a job it holds; what fails stays undone, for the run thread to report.
  void decodeChunk(Worker &worker, DecodeJob &job);
  // A solid block, decoded whole into the job.
  static void decodeBlock(Worker &worker, DecodeJob &job);
  DecodeJob &jobAt(int serial) { return *m_jobs[size_t(serial) % m_jobs.size()]; }
  State &stateAt(int serial) REQUIRES(m_lock) { return m_states[size_t(serial) % m_states.size()]; }

  Mutex m_lock;
  ConditionVariable m_workReady;
  ConditionVariable m_jobDone;
  ThreadOwner m_caller;
  std::vector<DecodeJob *> m_jobs;
  std::vector<State> m_states GUARDED_BY(m_lock);
  std::vector<Worker *> m_workers;
  // The calling thread's own cipher and decoder (null when memory ran short).
  Worker *m_helper = nullptr;
  std::vector<std::thread> m_threads;
  // Serial numbers: jobs [m_released, m_submitted) are in flight; workers take them from
  // m_started, and tell a job submitted from its state. The calling thread's, but m_started.
  int m_submitted = 0;
  int m_released = 0;
  int m_started GUARDED_BY(m_lock) = 0;
  int m_claimed = 0;
  bool m_stopping GUARDED_BY(m_lock) = false;
  const bool m_takeCrc;
  // Counts submissions, for workers that watch for one without the lock.
  std::atomic<unsigned> m_submissions{0};
};
