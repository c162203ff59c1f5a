#pragma once
// Where a crawl hands each finished chain: the result store, or the report of a low-memory
// crawl. The crawl itself does not know which.
//
// Threads: begin() and finish() run on the crawl's controller; the rest on the workers, side by
// side.

#include <cassert>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "base/ThreadAffinity.h"
#include "results/FatalErrorSlot.h"
#include "results/HopRecord.h"
#include "results/ResultStore.h"

namespace tallyvane {

class ResultSink {
 public:
  virtual ~ResultSink() = default;

  // Before the first worker starts; false when memory is short.
  virtual bool begin() { return true; }
  // A sink that keeps one chain per URL turns away URLs it has seen. Only then may the crawl
  // queue the links it finds in headers: that duplicate test is what ends a cycle of links.
  virtual bool keepsOneChainPerUrl() const = 0;
  // The links found in the headers of the chains kept before the crawl began (a resumed run's)
  // that no kept chain checked: the crawl queues them, as the run that found them would have.
  virtual void forEachUnfollowedLink(const std::function<void(std::string_view url)>& /*visit*/) const {}
  // Before a worker checks url: false when another worker has it or it is done.
  virtual bool claim(const std::string& /*url*/, PackedChain& /*packed*/) { return true; }
  // The chain of a claimed URL was cut short by a stop: nothing of it is kept.
  virtual void release(const std::string& /*url*/, PackedChain& /*packed*/) {}
  // A completed chain, which ends its claim. False on a failure that ends the crawl, raised in
  // fatal.
  virtual bool take(std::span<const HopRecord> chain, PackedChain& packed, FatalErrorSlot& fatal) = 0;
  // After the last worker has ended; false on a failure, raised in fatal.
  virtual bool finish(FatalErrorSlot& /*fatal*/) { return true; }
};

// The sink of a normal crawl or test: every chain goes into the store, once per URL.
class StoreSink final : public ResultSink {
 public:
  StoreSink(ResultStore& store, TestMode testMode) : store_(store), testMode_(testMode) {}

  bool begin() override {
    assert(onThread(ThreadRole::Controller));
    // A resumed run's store holds the loaded records in its filter lists.
    return store_.count() > 0 || store_.resetFilterLists();
  }
  bool keepsOneChainPerUrl() const override { return true; }
  void forEachUnfollowedLink(const std::function<void(std::string_view url)>& visit) const override {
    for (int64_t i = 0; i < store_.count(); ++i) {
      const ResultRecord& record = *store_.recordAtIndex(i);
      for (int j = 0; j < record.responseCount; ++j) {
        const ResponseRecord& hop = record.responses[j];
        for (int k = 0; k < hop.linkCount; ++k) {
          const std::string_view link = textOf(hop.links[k].link);
          if (link != textOf(hop.url) && !store_.contains(link)) visit(link);
        }
      }
    }
  }
  bool claim(const std::string& url, PackedChain& packed) override {
    assert(onThread(ThreadRole::Worker));
    return store_.claim(url, packed);
  }
  void release(const std::string& url, PackedChain& packed) override { store_.release(url, packed); }
  bool take(std::span<const HopRecord> chain, PackedChain& packed, FatalErrorSlot& fatal) override {
    assert(onThread(ThreadRole::Worker));
    // Packed on the worker, before the store's lock, so workers pack side by side.
    store_.packHeaders(chain, packed);
    return store_.add(chain, testMode_, fatal, &packed);
  }

 private:
  ResultStore& store_;
  TestMode testMode_;
};

}  // namespace tallyvane
