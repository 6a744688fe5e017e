#include "link/port/PosixSerial.h"

#include "link/port/NetworkAddress.h"
#include "link/port/PortList.h"
#include "link/port/PortLock.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <utility>

namespace ta::link {

namespace {

constexpr cc_t kXon = 0x11;
constexpr cc_t kXoff = 0x13;

// The fixed termios rates; anything else goes through termios2.
speed_t standardSpeed(uint32_t bitsPerSecond)
{
    switch (bitsPerSecond) {
    case 50: return B50;
    case 75: return B75;
    case 110: return B110;
    case 134: return B134;
    case 150: return B150;
    case 200: return B200;
    case 300: return B300;
    case 600: return B600;
    case 1200: return B1200;
    case 1800: return B1800;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    case 460800: return B460800;
    case 921600: return B921600;
    default: return B0;
    }
}

tcflag_t characterSize(int dataBits)
{
    switch (dataBits) {
    case 5: return CS5;
    case 6: return CS6;
    case 7: return CS7;
    default: return CS8;
    }
}

tcflag_t parityFlags(Parity parity)
{
    switch (parity) {
    case Parity::Odd: return PARENB | PARODD;
    case Parity::Even: return PARENB;
    case Parity::Mark: return PARENB | CMSPAR | PARODD;
    case Parity::Space: return PARENB | CMSPAR;
    case Parity::None: break;
    }
    return 0;
}

// A line without modem signals (a pseudo-terminal) answers the modem ioctls
// with one of these.
bool noModemLines(int error) { return error == ENOTTY || error == EINVAL || error == ENOTSUP; }

// What a failed open(2) means for the user.
PortProblem openProblem(int error)
{
    switch (error) {
    case EACCES:
    case EPERM: return PortProblem::PermissionDenied;
    case ENOENT:
    case ENXIO:
    case ENODEV: return PortProblem::Missing;
    case EBUSY: return PortProblem::Exclusive; // TIOCEXCL keeps out all but root
    default: return PortProblem::Failed;
    }
}

class PosixSerialDevice : public SerialDevice {
public:
    PosixSerialDevice(int fd, Clock& clock, UucpLock lock) : fd_(fd), clock_(clock), lock_(std::move(lock)) {}
    ~PosixSerialDevice() override;
    PosixSerialDevice(const PosixSerialDevice&) = delete;
    PosixSerialDevice& operator=(const PosixSerialDevice&) = delete;

    bool applyLine(const LineSettings& line) override;
    bool setQueueSizes(uint32_t inBytes, uint32_t outBytes) override;
    bool purge(bool input, bool output) override;
    long inQueue() override { return queueCount(FIONREAD); }
    long outQueue() override { return queueCount(TIOCOUTQ); }
    long read(uint8_t* buf, std::size_t n) override;
    long write(const uint8_t* buf, std::size_t n) override;
    void waitWritable(int timeoutMs) override;
    unsigned modemLines() override;
    bool hungUp() override;
    void setReadyHandler(std::function<void()> onReady) override;

private:
    bool applySpeed(termios& tio, uint32_t bitsPerSecond);
    bool setModemLine(int bit, bool on);
    long queueCount(unsigned long request);
    long noteError();

    int fd_;
    Clock& clock_;
    UucpLock lock_; // removed after the descriptor is closed
    bool gone_ = false;
    bool hasModemLines_ = true;
    ReadyWatch ready_;
};

PosixSerialDevice::~PosixSerialDevice()
{
    ready_.stop();
    ::ioctl(fd_, TIOCNXCL);
    ::close(fd_); // also drops the flock
}

bool PosixSerialDevice::applyLine(const LineSettings& line)
{
    termios tio{};
    if (line.baudRate == 0)
        return false; // rate 0 would mean "hang up" to the kernel
    if (::tcgetattr(fd_, &tio) != 0) {
        noteError();
        return false;
    }
    programLine(tio, line);
    if (!applySpeed(tio, line.baudRate))
        return false;
    if (!setModemLine(TIOCM_DTR, line.dtrOn))
        return false;
    return line.rts == RtsMode::Handshake || setModemLine(TIOCM_RTS, line.rts == RtsMode::On);
}

bool PosixSerialDevice::applySpeed(termios& tio, uint32_t bitsPerSecond)
{
    const speed_t speed = standardSpeed(bitsPerSecond);
    const speed_t tableSpeed = speed == B0 ? B38400 : speed;
    if (::cfsetispeed(&tio, tableSpeed) != 0 || ::cfsetospeed(&tio, tableSpeed) != 0)
        return false;
    if (::tcsetattr(fd_, TCSANOW, &tio) != 0) {
        noteError();
        return false;
    }
    return speed != B0 || setCustomBitRate(fd_, bitsPerSecond);
}

bool PosixSerialDevice::setModemLine(int bit, bool on)
{
    if (!hasModemLines_)
        return true;
    if (::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bit) == 0)
        return true;
    if (!noModemLines(errno))
        return false;
    hasModemLines_ = false;
    return true;
}

bool PosixSerialDevice::setQueueSizes(uint32_t, uint32_t)
{
    // Linux has no per-port queue size; the driver keeps the sizes it asked
    // for and measures OutputRoom against them.
    return true;
}

bool PosixSerialDevice::purge(bool input, bool output)
{
    if (!input && !output)
        return true;
    const int which = input && output ? TCIOFLUSH : input ? TCIFLUSH : TCOFLUSH;
    if (::tcflush(fd_, which) == 0)
        return true;
    noteError();
    return false;
}

long PosixSerialDevice::queueCount(unsigned long request)
{
    int count = 0;
    if (::ioctl(fd_, request, &count) != 0)
        return noteError();
    return count;
}

long PosixSerialDevice::read(uint8_t* buf, std::size_t n)
{
    for (;;) {
        const ssize_t got = ::read(fd_, buf, n);
        if (got >= 0)
            return long(got);
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return 0;
        if (errno != EINTR)
            return noteError();
    }
}

long PosixSerialDevice::write(const uint8_t* buf, std::size_t n)
{
    for (;;) {
        const ssize_t put = ::write(fd_, buf, n);
        if (put >= 0)
            return long(put);
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return 0;
        if (errno != EINTR)
            return noteError();
    }
}

void PosixSerialDevice::waitWritable(int timeoutMs)
{
    pollfd pfd{fd_, POLLOUT, 0};
    ::poll(&pfd, 1, timeoutMs);
}

// Records a vanished device; returns -1, the failure of every count.
long PosixSerialDevice::noteError()
{
    if (deviceGone(errno))
        gone_ = true;
    return -1;
}

unsigned PosixSerialDevice::modemLines()
{
    int bits = 0;
    if (!hasModemLines_ || ::ioctl(fd_, TIOCMGET, &bits) != 0)
        return 0;
    unsigned lines = 0;
    if (bits & TIOCM_CTS)
        lines |= mlCTS;
    if (bits & TIOCM_DSR)
        lines |= mlDSR;
    if (bits & TIOCM_RNG)
        lines |= mlRING;
    if (bits & TIOCM_CAR)
        lines |= mlRLSD;
    return lines;
}

bool PosixSerialDevice::hungUp()
{
    if (gone_)
        return true;
    pollfd pfd{fd_, POLLIN, 0};
    if (::poll(&pfd, 1, 0) > 0 && (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)))
        gone_ = true;
    return gone_;
}

void PosixSerialDevice::setReadyHandler(std::function<void()> onReady)
{
    ready_.set(clock_, fd_, std::move(onReady));
}

} // namespace

bool deviceGone(int error) { return error == EIO || error == ENXIO || error == ENODEV || error == EBADF; }

void programLine(termios& tio, const LineSettings& line)
{
    cfmakeraw(&tio);
    tio.c_cflag &= ~tcflag_t(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    // The modem lines are ours to read, not reasons to block or hang up.
    tio.c_cflag |= CREAD | CLOCAL | characterSize(line.dataBits) | parityFlags(line.parity);
    if (line.stopBits != StopBits::One)
        tio.c_cflag |= CSTOPB; // 1.5 stop bits exist only for 5-bit bytes; 2 is the nearest
    if (line.rts == RtsMode::Handshake)
        tio.c_cflag |= CRTSCTS;
    tio.c_iflag &= ~tcflag_t(INPCK | IXON | IXOFF | IXANY);
    if (line.xonXoff)
        tio.c_iflag |= IXON | IXOFF;
    tio.c_cc[VSTART] = kXon;
    tio.c_cc[VSTOP] = kXoff;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
}

PosixSerialBackend::PosixSerialBackend(Clock& clock, CandidateList candidates)
    : clock_(clock), candidates_(candidates ? std::move(candidates) : CandidateList(serialPortCandidates)),
      lockDir_(kDefaultLockDir), network_(clock)
{
}

std::string PosixSerialBackend::resolve(const std::string& name) const
{
    if (comNumberOf(name) == 0)
        return name;
    return devicePathFor(name, candidates_());
}

std::unique_ptr<SerialDevice> PosixSerialBackend::refuse(OpenFailure failure)
{
    if (failure.holderPid != 0 && failure.holderName.empty())
        failure.holderName = processName(failure.holderPid);
    failure_ = std::move(failure);
    return nullptr;
}

std::unique_ptr<SerialDevice> PosixSerialBackend::open(const std::string& name)
{
    failure_ = OpenFailure{};
    const std::string path = resolve(name);
    if (path.empty())
        return refuse(OpenFailure(PortProblem::NoDevice));
    if (isNetworkPortName(path))
        return network_.open(path, failure_);
    return openPath(path);
}

// A port another program uses is passed over, also by root, whom neither
// TIOCEXCL nor file modes stop: the lock file is looked at before opening,
// the exclusive flag and the flock right after.
std::unique_ptr<SerialDevice> PosixSerialBackend::openPath(const std::string& path)
{
    if (const int holder = uucpLockHolder(lockDir_, path); holder != 0 && holder != ::getpid())
        return refuse(OpenFailure(PortProblem::InUse, path, 0, holder));
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        const PortProblem problem = openProblem(error);
        const int holder = problem == PortProblem::Exclusive ? processUsingDevice(path) : 0;
        return refuse(OpenFailure(problem, path, error, holder));
    }
    auto refuseOpen = [&](PortProblem problem, int error, int holder) {
        ::close(fd);
        return refuse(OpenFailure(problem, path, error, holder));
    };
    if (!::isatty(fd))
        return refuseOpen(PortProblem::NotATerminal, ENOTTY, 0);
    int exclusive = 0;
    if (::ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0) {
        // A pseudo-terminal keeps the flag after a holder that did not clear
        // it has gone; root sees every holder and so can tell.
        const int holder = processUsingDevice(path);
        if (holder != 0 || ::geteuid() != 0)
            return refuseOpen(PortProblem::Exclusive, EBUSY, holder);
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        const bool held = error == EWOULDBLOCK;
        return refuseOpen(held ? PortProblem::InUse : PortProblem::Failed, error, held ? processUsingDevice(path) : 0);
    }
    ::ioctl(fd, TIOCEXCL);
    return std::make_unique<PosixSerialDevice>(fd, clock_, UucpLock(lockDir_, path));
}

} // namespace ta::link
