#include "standin/tds/packet_channel.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>

#include "standin/tds/wire_codes.h"

namespace standin {

PacketChannel::PacketChannel(int fd) : fd_(fd) {}

PacketChannel::~PacketChannel() {
  if (fd_ >= 0) ::close(fd_);
}

void PacketChannel::shutdown() {
  ::shutdown(fd_, SHUT_RDWR);
}

bool PacketChannel::fill(size_t want) {
  while (in_.size() - inPos_ < want) {
    if (inPos_ > 0) {
      in_.erase(0, inPos_);
      inPos_ = 0;
    }
    size_t have = in_.size();
    size_t chunk = want - have > 65536 ? want - have : 65536;
    in_.resize(have + chunk);
    ssize_t n;
    do {
      n = ::recv(fd_, in_.data() + have, chunk, 0);
    } while (n < 0 && errno == EINTR);
    in_.resize(have + (n > 0 ? static_cast<size_t>(n) : 0));
    if (n <= 0) {
      failed_ = true;
      return false;
    }
  }
  return true;
}

bool PacketChannel::read(Packet& p) {
  if (failed_ || !fill(kHeaderSize)) return false;
  const auto* h = reinterpret_cast<const uint8_t*>(in_.data() + inPos_);
  size_t length = (size_t{h[2]} << 8) | h[3];
  if (length < kHeaderSize) {
    failed_ = true;
    return false;
  }
  if (!fill(length)) return false;
  h = reinterpret_cast<const uint8_t*>(in_.data() + inPos_);
  p.type = h[0];
  p.status = h[1];
  p.payload = std::string_view(in_.data() + inPos_ + kHeaderSize, length - kHeaderSize);
  inPos_ += length;
  return true;
}

bool PacketChannel::attentionPending() {
  if (failed_) return false;
  pollfd pfd{fd_, POLLIN, 0};
  if (::poll(&pfd, 1, 0) > 0 && (pfd.revents & (POLLIN | POLLHUP | POLLERR))) {
    if (inPos_ > 0) {
      in_.erase(0, inPos_);
      inPos_ = 0;
    }
    size_t have = in_.size();
    in_.resize(have + 4096);
    ssize_t n = ::recv(fd_, in_.data() + have, 4096, MSG_DONTWAIT);
    in_.resize(have + (n > 0 ? static_cast<size_t>(n) : 0));
    if (n == 0) {
      // The client went away: treat as cancelled so the running request stops.
      failed_ = true;
      return true;
    }
  }
  if (in_.size() - inPos_ >= kHeaderSize && static_cast<uint8_t>(in_[inPos_]) == kPacketAttention) {
    const auto* h = reinterpret_cast<const uint8_t*>(in_.data() + inPos_);
    size_t length = (size_t{h[2]} << 8) | h[3];
    if (length >= kHeaderSize && in_.size() - inPos_ >= length) {
      inPos_ += length;
      return true;
    }
  }
  return false;
}

bool PacketChannel::sendPackets(bool final) {
  const size_t payload = packetSize_ - kHeaderSize;
  size_t total = out_.size();
  size_t sent = 0;
  constexpr int kBatch = 32;
  uint8_t headers[kBatch][kHeaderSize];
  iovec iov[kBatch * 2];
  while (!failed_) {
    int count = 0;
    size_t at = sent;
    bool last = false;
    while (count < kBatch) {
      size_t left = total - at;
      size_t n;
      bool eom = false;
      if (left > payload) {
        n = payload;
      } else if (final) {
        n = left;
        eom = true;
      } else {
        break;  // keep the partial packet for later
      }
      uint8_t* h = headers[count];
      size_t len = n + kHeaderSize;
      h[0] = kPacketReply;
      h[1] = eom ? kStatusEom : 0;
      h[2] = static_cast<uint8_t>(len >> 8);
      h[3] = static_cast<uint8_t>(len);
      h[4] = static_cast<uint8_t>(spid_ >> 8);
      h[5] = static_cast<uint8_t>(spid_);
      h[6] = packetId_++;
      h[7] = 0;
      iov[2 * count] = {h, kHeaderSize};
      iov[2 * count + 1] = {const_cast<uint8_t*>(out_.data()) + at, n};
      ++count;
      at += n;
      if (eom) {
        last = true;
        break;
      }
    }
    if (count == 0) break;
    // Send the batch, continuing after partial writes.
    int first = 0;
    int iovCount = count * 2;
    while (first < iovCount) {
      // sendmsg with MSG_NOSIGNAL: a client that has gone away is an error of this
      // connection, not a SIGPIPE for the whole process.
      msghdr msg{};
      msg.msg_iov = iov + first;
      msg.msg_iovlen = static_cast<size_t>(iovCount - first > 1024 ? 1024 : iovCount - first);
      ssize_t w = ::sendmsg(fd_, &msg, MSG_NOSIGNAL);
      if (w < 0) {
        if (errno == EINTR) continue;
        failed_ = true;
        break;
      }
      size_t left = static_cast<size_t>(w);
      while (first < iovCount && left >= iov[first].iov_len) {
        left -= iov[first].iov_len;
        ++first;
      }
      if (first < iovCount && left > 0) {
        iov[first].iov_base = static_cast<uint8_t*>(iov[first].iov_base) + left;
        iov[first].iov_len -= left;
      }
    }
    sent = at;
    if (last) break;
  }
  if (sent == total)
    out_.clear();
  else if (sent > 0)
    out_.consume(sent);
  return !failed_;
}

bool PacketChannel::sendFull() {
  if (out_.size() < size_t{packetSize_} * 8) return !failed_;
  return sendPackets(false);
}

bool PacketChannel::endReply() {
  return sendPackets(true);
}

}  // namespace standin
