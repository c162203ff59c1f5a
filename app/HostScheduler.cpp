#include "app/HostScheduler.h"

#include <algorithm>

#include "base/Text.h"
#include "input/UrlParts.h"

namespace tallyvane {

std::string hostOf(std::string_view url) {
  const auto span = requestHostSpan(url);
  if (!span) return std::string(url);
  // Scheme and host name ignore case: "HTTPS://Shop.Example" is the host of "https://shop.example".
  std::string host;
  for (const char c : url.substr(0, url.find("://"))) host += asciiLower(c);
  const bool https = host == "https";
  host += "://";
  for (size_t i = span->begin; i < span->end; ++i) host += asciiLower(url[i]);
  host += ':';
  std::string_view rest = url.substr(span->end);
  if (rest.starts_with(':')) {
    rest.remove_prefix(1);
    rest = rest.substr(0, rest.find_first_of("/?#"));
  } else {
    rest = {};
  }
  if (!rest.empty()) {
    host += rest;
  } else {
    host += https ? "443" : "80";
  }
  return host;
}

void HostScheduler::reset(HostLimits limits, size_t maxWaiting) {
  std::lock_guard lock(mutex_);
  limits_ = limits;
  maxWaiting_ = maxWaiting;
  hosts_.clear();
  waitingHosts_.clear();
  nextWaitingHost_ = 0;
  waitingForTurn_ = 0;
  setAside_ = 0;
  urlsInHand_ = 0;
}

bool HostScheduler::hasTurn(const Host& host, TimePoint now) const {
  return (limits_.maxPerHost == 0 || host.inFlight < limits_.maxPerHost) && now >= host.nextStart;
}

void HostScheduler::takeTurn(Host& host, TimePoint now) {
  ++host.inFlight;
  if (limits_.delay.count() > 0) host.nextStart = now + limits_.delay;
}

std::optional<HostScheduler::TimePoint> HostScheduler::nextChance(const Host& host) const {
  if (limits_.maxPerHost != 0 && host.inFlight >= limits_.maxPerHost) return std::nullopt;
  return host.nextStart;
}

bool HostScheduler::tryEnter(const std::string& host) {
  std::lock_guard lock(mutex_);
  const TimePoint now = now_();
  Host& state = hosts_[host];
  if (!hasTurn(state, now)) return false;
  takeTurn(state, now);
  return true;
}

bool HostScheduler::enter(const std::string& host, const RunningFlag& running) {
  std::unique_lock lock(mutex_);
  for (;;) {
    if (!running.isSet()) return false;
    const TimePoint now = now_();
    // Looked up again after every wait: a sweep may have dropped the host meanwhile.
    Host& state = hosts_[host];
    if (hasTurn(state, now)) {
      takeTurn(state, now);
      return true;
    }
    if (const auto chance = nextChance(state)) {
      changed_.wait_until(lock, Clock::now() + (*chance - now));
    } else {
      changed_.wait(lock);
    }
  }
}

void HostScheduler::leave(const std::string& host) {
  {
    std::lock_guard lock(mutex_);
    const auto found = hosts_.find(host);
    if (found != hosts_.end()) --found->second.inFlight;
    ++changes_;
    sweep(now_());
  }
  changed_.notify_all();
}

void HostScheduler::pause(const std::string& host, std::chrono::milliseconds wait) {
  std::lock_guard lock(mutex_);
  Host& state = hosts_[host];
  state.nextStart = std::max(state.nextStart, now_() + wait);
}

void HostScheduler::sweep(TimePoint now) {
  if (hosts_.size() < sweepAt_) return;
  std::erase_if(hosts_, [now](const auto& entry) {
    const Host& host = entry.second;
    return host.inFlight == 0 && host.waiting.empty() && host.nextStart <= now;
  });
  sweepAt_ = std::max<size_t>(1024, 2 * hosts_.size());
}

bool HostScheduler::setAside(const std::string& host, SetAsideUrl url) {
  {
    std::lock_guard lock(mutex_);
    const bool retry = !url.chain.empty();
    if (!retry && waitingForTurn_ >= maxWaiting_) return false;
    Host& state = hosts_[host];
    if (state.waiting.empty()) waitingHosts_.push_back(host);
    state.waiting.push_back(std::move(url));
    if (!retry) ++waitingForTurn_;
    ++setAside_;
    ++changes_;
  }
  changed_.notify_all();
  return true;
}

std::optional<SetAsideUrl> HostScheduler::takeReady(std::string& host) {
  std::lock_guard lock(mutex_);
  if (waitingHosts_.empty()) return std::nullopt;
  const TimePoint now = now_();
  for (size_t looked = 0; looked < waitingHosts_.size(); ++looked) {
    const size_t at = (nextWaitingHost_ + looked) % waitingHosts_.size();
    Host& state = hosts_[waitingHosts_[at]];
    if (!hasTurn(state, now)) continue;
    takeTurn(state, now);
    SetAsideUrl url = std::move(state.waiting.front());
    state.waiting.pop_front();
    host = waitingHosts_[at];
    if (state.waiting.empty()) {
      if (at + 1 != waitingHosts_.size()) waitingHosts_[at] = std::move(waitingHosts_.back());
      waitingHosts_.pop_back();
    }
    nextWaitingHost_ = at + 1;
    if (url.chain.empty()) --waitingForTurn_;
    --setAside_;
    ++urlsInHand_;
    return url;
  }
  return std::nullopt;
}

void HostScheduler::urlTaken() {
  std::lock_guard lock(mutex_);
  ++urlsInHand_;
}

void HostScheduler::urlDone() {
  {
    std::lock_guard lock(mutex_);
    --urlsInHand_;
    ++changes_;
  }
  changed_.notify_all();
}

bool HostScheduler::awaitMore(const RunningFlag& running) {
  std::unique_lock lock(mutex_);
  if (!running.isSet() || (setAside_ == 0 && urlsInHand_ == 0)) return false;
  const TimePoint now = now_();
  std::optional<TimePoint> soonest;
  for (const std::string& key : waitingHosts_) {
    const auto chance = nextChance(hosts_[key]);
    if (chance && (!soonest || *chance < *soonest)) soonest = chance;
  }
  if (soonest && *soonest <= now) return true;
  const uint64_t seen = changes_;
  const auto woken = [&] { return !running.isSet() || changes_ != seen; };
  if (soonest) {
    changed_.wait_until(lock, Clock::now() + (*soonest - now), woken);
  } else {
    changed_.wait(lock, woken);
  }
  return running.isSet();
}

void HostScheduler::interrupt() {
  {
    std::lock_guard lock(mutex_);
    ++changes_;
  }
  changed_.notify_all();
}

size_t HostScheduler::setAsideCount() const {
  std::lock_guard lock(mutex_);
  return setAside_;
}

}  // namespace tallyvane
