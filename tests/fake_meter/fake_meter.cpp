// The fake meter: the protocol as a pure function of the meter's state and
// one line, and two ways to carry it, TCP through Asio and, on POSIX, a
// pseudo-terminal.
#include "fake_meter.h"

#include <atomic>
#include <cctype>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <deque>
#include <exception>
#include <numbers>
#include <optional>
#include <random>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>

#include <asio.hpp>

#ifndef _WIN32
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace {

// What a meter reads across open terminals, and what it answers for them.
constexpr double open_circuit = 9.9e37;
// A line longer than any command ends the connection rather than the memory.
constexpr std::size_t longest_line = 4096;

// The answers that do not end: a stream in chunks, fast, bounded so that a
// client that does not bound its answers fails by its timeout rather than
// by the memory; a trickle, slow; and a line longer than a client takes.
constexpr std::size_t stream_chunk = std::size_t{64} * 1024;
constexpr unsigned stream_chunks = 256;
constexpr unsigned trickle_bytes = 600;
constexpr std::chrono::milliseconds trickle_pause{100};
constexpr std::size_t long_line_bytes = std::size_t{100} * 1024;

struct dial_stop {
    double nominal;  // cppcheck-suppress unusedStructMember ; ohms, 0 an open circuit
    double position; // cppcheck-suppress unusedStructMember
};

std::vector<dial_stop> default_dial() {
    std::vector<dial_stop> dial;
    for (double step = 10; step <= 1e5; step *= 10)
        for (int position = 1; position <= 10; ++position)
            dial.push_back({position * step, static_cast<double>(position)});
    return dial;
}

// A listed value's position is its leading part: 300 is 3, 1000 is 1.
double position_of(double nominal) {
    double step = 1;
    while (step * 10 <= nominal)
        step *= 10;
    return nominal / step;
}

std::vector<dial_stop> dial_of(const std::vector<double>& values) {
    if (values.empty())
        return default_dial();
    std::vector<dial_stop> dial;
    dial.reserve(values.size());
    for (double nominal : values)
        dial.push_back({nominal, position_of(nominal)});
    return dial;
}

// The meter's state, shared by every connection.  Only the serving thread
// changes it; the counters and range are atomic for fake_meter's readers.
struct box_state {
    meter_options options;
    std::vector<dial_stop> dial;
    std::deque<std::string> errors;
    std::mt19937_64 random;
    std::atomic<std::uint64_t> reads{0};
    std::atomic<std::uint64_t> confs{0}; // each turned the dial once
    std::atomic<double> range{0};
};

enum class action {
    none,   // nothing to send
    answer, // send the text and a line end
    hang,   // send nothing, now or later on this connection
    drop,   // send the text alone, then close the connection
    stream, // send the text `times` times, `pause` apart, then as hang
};

struct reply {
    action what = action::none;
    std::string text;
    unsigned times = 1;                 // cppcheck-suppress unusedStructMember
    std::chrono::milliseconds pause{0}; // cppcheck-suppress unusedStructMember
};

// Box-Muller from the engine's raw output: the engine's sequence is the
// same in every standard library, std::normal_distribution's is not.
double gaussian(std::mt19937_64& random) {
    constexpr double unit = 0x1p-53;
    double u1 = static_cast<double>((random() >> 11) + 1) * unit; // (0, 1]: its log is finite
    double u2 = static_cast<double>(random() >> 11) * unit;
    return std::sqrt(-2 * std::log(u1)) * std::cos(2 * std::numbers::pi * u2);
}

std::optional<dial_stop> dial_now(const box_state& box) {
    std::uint64_t turns = box.confs;
    if (turns == 0)
        return std::nullopt;
    std::size_t last = box.dial.size() - 1;
    return box.dial[turns - 1 < last ? static_cast<std::size_t>(turns - 1) : last];
}

double reading(box_state& box) {
    std::optional<dial_stop> at = dial_now(box);
    if (!at || at->nominal <= 0)
        return open_circuit;
    const meter_options& o = box.options;
    double deviation = (o.deviation_ppm + o.slope_ppm * at->position) * 1e-6;
    double noise = o.scatter_ppm * 1e-6 * at->nominal * gaussian(box.random);
    return at->nominal * (1 + deviation) + o.zero + noise;
}

std::string figure(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%+.8E", value);
    return text;
}

std::string readings(box_state& box, bool open) {
    std::string line;
    for (unsigned i = 0; i < box.options.per_read; ++i) {
        if (i > 0)
            line += ',';
        line += figure(open ? open_circuit : reading(box));
    }
    return line;
}

// Readings, each followed by a comma, to at least `bytes` in all.
std::string readings_of_size(box_state& box, std::size_t bytes) {
    std::string text;
    while (text.size() < bytes)
        text += figure(reading(box)) + ',';
    return text;
}

// The fault the Nth READ? (or, for `error`, CONF:FRES) meets: the first listed.
std::optional<fault_kind> fault_at(const box_state& box, std::uint64_t n, bool of_conf) {
    for (const fake_fault& f : box.options.faults)
        if (f.at == n && (f.kind == fault_kind::error) == of_conf)
            return f.kind;
    return std::nullopt;
}

std::string_view trimmed(std::string_view text) {
    constexpr std::string_view blanks = " \t\r\n";
    std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

std::optional<double> number_of(std::string_view text) {
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1); // from_chars takes no plus sign
    double value = 0;
    const char* end = text.data() + text.size();
    auto [stop, failure] = std::from_chars(text.data(), end, value);
    if (failure != std::errc{} || stop != end || !std::isfinite(value))
        return std::nullopt;
    return value;
}

reply clear_errors(box_state& box, std::string_view) {
    box.errors.clear();
    return {};
}

// cppcheck-suppress constParameter ; every command's handler takes the box alike
reply identify(box_state& box, std::string_view) {
    return {action::answer, box.options.idn};
}

// A range that is no number turns nothing: the acquisition's mistake shows
// in the error queue rather than as a reading of the wrong dial_stop.
reply configure(box_state& box, std::string_view argument) {
    std::optional<double> range = number_of(argument);
    if (!range || *range < 0) {
        box.errors.emplace_back("-104,\"Data type error\"");
        return {};
    }
    box.range = *range;
    if (fault_at(box, ++box.confs, true))
        box.errors.emplace_back("-222,\"Data out of range\"");
    return {};
}

reply accept(box_state&, std::string_view) {
    return {};
}

reply read_box(box_state& box, std::string_view) {
    std::optional<fault_kind> fault = fault_at(box, ++box.reads, false);
    if (fault == fault_kind::silent)
        return {action::hang, {}};
    if (fault == fault_kind::garbage)
        return {action::answer, "GARBAGE"};
    if (fault == fault_kind::stream)
        return {action::stream, readings_of_size(box, stream_chunk), stream_chunks};
    if (fault == fault_kind::trickle)
        return {action::stream, "1", trickle_bytes, trickle_pause};
    if (fault == fault_kind::long_line) {
        std::string line = readings_of_size(box, long_line_bytes);
        line.pop_back(); // the last comma
        return {action::answer, line};
    }
    std::string line = readings(box, fault == fault_kind::open);
    if (fault == fault_kind::drop)
        return {action::drop, line.substr(0, line.size() / 2)};
    return {action::answer, line};
}

reply next_error(box_state& box, std::string_view) {
    if (box.errors.empty())
        return {action::answer, "+0,\"No error\""};
    reply r{action::answer, box.errors.front()};
    box.errors.pop_front();
    return r;
}

struct command {
    std::string_view header; // upper case
    reply (*run)(box_state&, std::string_view argument);
};

constexpr command commands[] = {
    {"*CLS", clear_errors}, {"*IDN?", identify}, {"CONF:FRES", configure},  {"FRES:NPLC", accept},
    {"FRES:OCOM", accept},  {"READ?", read_box}, {"SYST:ERR?", next_error},
};

reply respond(box_state& box, std::string_view line) {
    line = trimmed(line);
    if (line.empty())
        return {};
    std::size_t blank = line.find_first_of(" \t");
    std::string header(line.substr(0, blank));
    for (char& c : header)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    std::string_view argument = blank == std::string_view::npos ? "" : trimmed(line.substr(blank));
    for (const command& c : commands)
        if (c.header == header)
            return c.run(box, argument);
    box.errors.emplace_back("-113,\"Undefined header\"");
    return {};
}

#ifndef _WIN32
// A test that starts programs must not hand them the meter's descriptors:
// a child holding a connection would keep it open after the meter closes it.
void keep_from_children(int fd) {
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
}
#else
void keep_from_children(asio::ip::tcp::socket::native_handle_type) {}
#endif

} // namespace

struct fake_meter::impl {
    box_state box;
    std::uint16_t port = 0;
    std::string pty_path;
    std::atomic<bool> stopping{false};
    asio::io_context io;
    std::optional<asio::ip::tcp::acceptor> acceptor;
    int master = -1; // the pseudo-terminal's
    std::thread thread;

    ~impl() {
#ifndef _WIN32
        if (master >= 0)
            ::close(master);
#endif
    }
};

namespace {

using asio::ip::tcp;

// One TCP connection, kept alive by the handlers that hold it.
struct connection {
    tcp::socket socket;
    asio::steady_timer timer;
    box_state& box;
    std::string pending; // received, not yet a whole line
    std::string out;     // the answer being sent
    bool hung = false;   // after a silent fault: reads, answers nothing
};
using connection_ptr = std::shared_ptr<connection>;

void read_line(const connection_ptr& c);

void write_out(const connection_ptr& c, bool then_close) {
    asio::async_write(c->socket, asio::buffer(c->out),
                      [c, then_close](std::error_code failure, std::size_t) {
                          if (failure)
                              return;
                          if (!then_close)
                              return read_line(c);
                          std::error_code ignored;
                          c->socket.shutdown(tcp::socket::shutdown_both, ignored);
                          c->socket.close(ignored);
                      });
}

// Every answer waits for the meter's delay, a zero one included, so that
// there is one way through.
void send(const connection_ptr& c, std::string text, bool then_close) {
    c->out = std::move(text);
    c->timer.expires_after(std::chrono::milliseconds(c->box.options.delay_ms));
    c->timer.async_wait([c, then_close](std::error_code failure) {
        if (!failure)
            write_out(c, then_close);
    });
}

// The stream's text sent `left` more times, `pause` apart; then the
// connection answers nothing more.
void stream_out(const connection_ptr& c, unsigned left, std::chrono::milliseconds pause) {
    if (left == 0) {
        c->hung = true;
        return read_line(c);
    }
    asio::async_write(c->socket, asio::buffer(c->out),
                      [c, left, pause](std::error_code failure, std::size_t) {
                          if (failure)
                              return;
                          c->timer.expires_after(pause);
                          c->timer.async_wait([c, left, pause](std::error_code stopped) {
                              if (!stopped)
                                  stream_out(c, left - 1, pause);
                          });
                      });
}

void act(const connection_ptr& c, reply r) {
    switch (r.what) {
    case action::none:
        return read_line(c);
    case action::hang:
        c->hung = true;
        return read_line(c);
    case action::answer:
        return send(c, r.text + c->box.options.line_end, false);
    case action::drop:
        return send(c, std::move(r.text), true);
    case action::stream:
        c->out = std::move(r.text);
        return stream_out(c, r.times, r.pause);
    }
}

// A hung connection still reads, so that it notices the client closing it.
void read_line(const connection_ptr& c) {
    asio::async_read_until(c->socket, asio::dynamic_buffer(c->pending, longest_line), '\n',
                           [c](std::error_code failure, std::size_t size) {
                               if (failure)
                                   return; // closed by the client: the connection ends
                               std::string line = c->pending.substr(0, size);
                               c->pending.erase(0, size);
                               if (c->hung)
                                   return read_line(c);
                               act(c, respond(c->box, line));
                           });
}

// With `once` the first connection is the only one: the acceptor closes,
// and the io_context runs out of work when that connection ends.
void accept_next(fake_meter::impl& m) {
    m.acceptor->async_accept([&m](std::error_code failure, tcp::socket socket) {
        if (failure)
            return;
        keep_from_children(socket.native_handle());
        // Each answer leaves at once, not after the client's acknowledgement.
        socket.set_option(tcp::no_delay(true), failure);
        auto c = std::make_shared<connection>(
            connection{std::move(socket), asio::steady_timer(m.io), m.box, {}, {}, false});
        read_line(c);
        if (m.box.options.once)
            m.acceptor->close();
        else
            accept_next(m);
    });
}

void run_io(asio::io_context& io) {
    try {
        io.run();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "fake meter: %s\n", e.what());
    }
}

void start_tcp(fake_meter::impl& m) {
    const asio::ip::address loopback = m.box.options.ipv6
                                           ? asio::ip::address(asio::ip::address_v6::loopback())
                                           : asio::ip::address(asio::ip::address_v4::loopback());
    tcp::endpoint at(loopback, m.box.options.port);
    m.acceptor.emplace(m.io);
    m.acceptor->open(at.protocol());
#ifndef _WIN32
    // A fixed port is free again at once after the previous meter on it;
    // on Windows the same option would let two meters share it.
    m.acceptor->set_option(tcp::acceptor::reuse_address(true));
#endif
    keep_from_children(m.acceptor->native_handle());
    m.acceptor->bind(at);
    m.acceptor->listen();
    m.port = m.acceptor->local_endpoint().port();
    accept_next(m);
    m.thread = std::thread(run_io, std::ref(m.io));
}

#ifndef _WIN32
std::system_error system_failure(const char* what) {
    return {errno, std::generic_category(), what};
}

// Raw, so that the terminal neither echoes the answers back as commands
// nor turns line ends into others.  Non-blocking, so that an answer no
// one reads cannot hold up stop().
void open_pty(fake_meter::impl& m) {
    m.master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (m.master < 0)
        throw system_failure("posix_openpt");
    keep_from_children(m.master);
    termios raw{};
    if (::grantpt(m.master) != 0 || ::unlockpt(m.master) != 0 || ::tcgetattr(m.master, &raw) != 0)
        throw system_failure("pseudo-terminal");
    ::cfmakeraw(&raw);
    if (::tcsetattr(m.master, TCSANOW, &raw) != 0 ||
        ::fcntl(m.master, F_SETFL, ::fcntl(m.master, F_GETFL) | O_NONBLOCK) != 0)
        throw system_failure("pseudo-terminal");
    const char* path = ::ptsname(m.master);
    if (path == nullptr)
        throw system_failure("ptsname");
    m.pty_path = path;
}

// False when no one holds the slave open: the answer is lost, as on a
// pulled cable.
bool write_all(fake_meter::impl& m, std::string_view text) {
    while (!text.empty() && !m.stopping) {
        ssize_t sent = ::write(m.master, text.data(), text.size());
        if (sent > 0)
            text.remove_prefix(static_cast<std::size_t>(sent));
        else if (errno == EAGAIN || errno == EINTR)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        else
            return false;
    }
    return true;
}

void stream_all(fake_meter::impl& m, const reply& r) {
    for (unsigned i = 0; i < r.times && !m.stopping && write_all(m, r.text); ++i)
        std::this_thread::sleep_for(r.pause);
}

// A terminal cannot be hung up from this side: a drop sends its half line
// and goes on.
void serve_lines(fake_meter::impl& m, std::string& pending, bool& hung) {
    for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
        std::string line = pending.substr(0, end + 1);
        pending.erase(0, end + 1);
        if (hung)
            continue;
        reply r = respond(m.box, line);
        hung = r.what == action::hang || r.what == action::stream;
        if (r.what == action::stream)
            stream_all(m, r);
        if (r.what == action::answer)
            r.text += m.box.options.line_end;
        if (r.what == action::answer || r.what == action::drop) {
            std::this_thread::sleep_for(std::chrono::milliseconds(m.box.options.delay_ms));
            write_all(m, r.text);
        }
    }
    if (pending.size() > longest_line)
        pending.clear();
}

// The "connection" runs from a client's first bytes to the hang-up when
// the last process holding the slave closes it; until a client opens it,
// the master reports a hang-up too, so the loop waits between polls.
void serve_pty(fake_meter::impl& m) {
    std::string pending;
    bool hung = false;
    bool attached = false;
    while (!m.stopping) {
        pollfd p{m.master, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0)
            continue;
        char buffer[512];
        ssize_t got = (p.revents & POLLIN) != 0 ? ::read(m.master, buffer, sizeof buffer) : 0;
        if (got > 0) {
            attached = true;
            pending.append(buffer, static_cast<std::size_t>(got));
            serve_lines(m, pending, hung);
            continue;
        }
        if (got < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (attached && m.box.options.once)
            return;
        attached = hung = false;
        pending.clear();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void start_pty(fake_meter::impl& m) {
    open_pty(m);
    m.thread = std::thread(serve_pty, std::ref(m));
}
#else
void start_pty(fake_meter::impl&) {
    throw std::system_error(std::make_error_code(std::errc::not_supported),
                            "a pseudo-terminal on Windows");
}
#endif

} // namespace

fake_meter::fake_meter(const meter_options& options) : self_(std::make_unique<impl>()) {
    box_state& box = self_->box;
    box.options = options;
    box.dial = dial_of(options.dial);
    box.random.seed(options.seed);
    if (options.link == fake_link::pty)
        start_pty(*self_);
    else
        start_tcp(*self_);
}

fake_meter::~fake_meter() {
    stop();
    wait();
}

std::uint16_t fake_meter::port() const {
    return self_->port;
}
const std::string& fake_meter::pty_path() const {
    return self_->pty_path;
}
std::uint64_t fake_meter::reads() const {
    return self_->box.reads;
}
std::uint64_t fake_meter::confs() const {
    return self_->box.confs;
}
double fake_meter::range() const {
    return self_->box.range;
}

void fake_meter::wait() {
    if (self_->thread.joinable())
        self_->thread.join();
}

void fake_meter::stop() {
    self_->stopping = true;
    self_->io.stop();
}
