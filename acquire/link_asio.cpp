#include "acquire/link_asio.h"

#include <asio.hpp>

#include "acquire/address.h"
#include "acquire/dialect.h"
#include "base/text_format.h"

namespace {

using namespace std::chrono_literals;

// Ctrl-C is looked for this often while a wait lasts.
constexpr auto slice = 100ms;
// A meter that takes no more of a command for this long is not listening.
constexpr std::chrono::milliseconds longest_send = 10s;

std::string seconds_text(std::chrono::milliseconds t) {
    return format("%.3g s", static_cast<double>(t.count()) / 1000);
}

enum class waited { done, timed_out, interrupted };

// Whether a wait that ends at `end` is cut short now, and why.
waited cut_short(const std::function<bool()>& interrupted,
                 std::chrono::steady_clock::time_point end) {
    if (interrupted())
        return waited::interrupted;
    return std::chrono::steady_clock::now() >= end ? waited::timed_out : waited::done;
}

// Runs the context until `done`, `timeout` or Ctrl-C; the last two cancel
// the work and run it out.
waited wait(asio::io_context& io, const bool& done, std::chrono::milliseconds timeout,
            const std::function<bool()>& interrupted, const std::function<void()>& cancel) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    io.restart();
    while (!done) {
        if (const waited why = cut_short(interrupted, end); why != waited::done) {
            cancel();
            io.run();
            return why;
        }
        io.run_for(slice);
    }
    return waited::done;
}

// A wait that did not end in `done`, as a fault.
link_fault unfinished(waited how, const std::string& waiting_for,
                      std::chrono::milliseconds timeout) {
    return how == waited::interrupted
               ? link_fault{"interrupted (Ctrl-C)"}
               : link_fault{"no " + waiting_for + " within " + seconds_text(timeout)};
}

std::string said(const asio::error_code& ec) {
    if (ec == asio::error::eof || ec == asio::error::connection_reset ||
        ec == asio::error::broken_pipe)
        return "the connection was closed";
    return ec.message();
}

// A stream (socket or serial port), lines in and out.
template <typename Stream> class stream_link : public meter_link {
  public:
    stream_link(std::unique_ptr<asio::io_context> io, Stream stream,
                std::function<bool()> interrupted)
        : io_(std::move(io)), stream_(std::move(stream)), interrupted_(std::move(interrupted)) {}

    void send(std::string_view text) override {
        bool done = false;
        asio::error_code error;
        asio::async_write(stream_, asio::buffer(text.data(), text.size()),
                          [&](const asio::error_code& ec, std::size_t) {
                              error = ec;
                              done = true;
                          });
        const waited how = wait(*io_, done, longest_send, interrupted_, [this] { cancel(); });
        if (how != waited::done)
            throw unfinished(how, "room to send", longest_send);
        if (error)
            throw link_fault{"sending failed: " + said(error)};
    }

    // The deadline and the bound on pending_ hold for the whole answer, not
    // each read: a meter that sends without a line end, however slowly or
    // fast, ends the wait.
    std::string receive(std::string_view line_end, std::chrono::milliseconds timeout) override {
        bool done = false;
        asio::error_code error;
        std::size_t length = 0;
        asio::async_read_until(stream_, asio::dynamic_buffer(pending_, longest_answer),
                               std::string(line_end),
                               [&](const asio::error_code& ec, std::size_t n) {
                                   error = ec;
                                   length = n;
                                   done = true;
                               });
        const waited how = wait(*io_, done, timeout, interrupted_, [this] { cancel(); });
        if (how == waited::timed_out && !pending_.empty())
            throw link_fault{"an answer begun, but no line end (" +
                             std::string(line_end_name(line_end)) + ") within " +
                             seconds_text(timeout)};
        if (how != waited::done)
            throw unfinished(how, "answer", timeout);
        if (error == asio::error::not_found)
            throw link_fault{"an answer of more than " + std::to_string(longest_answer / 1024) +
                             " KiB without a line end (" + std::string(line_end_name(line_end)) +
                             ")"};
        if (error)
            throw link_fault{pending_.empty() ? said(error)
                                              : said(error) + " in the middle of an answer"};
        std::string line = pending_.substr(0, length - line_end.size());
        pending_.erase(0, length);
        if (line_end == "\n" && !line.empty() && line.back() == '\r')
            line.pop_back();
        return line;
    }

  private:
    void cancel() {
        asio::error_code ignored;
        stream_.cancel(ignored);
    }

    std::unique_ptr<asio::io_context> io_;
    Stream stream_;
    std::function<bool()> interrupted_;
    std::string pending_;
};

// An IPv6 address is taken as written: looked up as a name, it would be
// refused where the machine has no IPv6 address but its loopback.
std::unique_ptr<meter_link> open_socket(const meter_address& address,
                                        std::chrono::milliseconds timeout,
                                        std::function<bool()> interrupted) {
    auto io = std::make_unique<asio::io_context>();
    asio::ip::tcp::resolver resolver(*io);
    const auto flags = address.host.find(':') != std::string::npos
                           ? asio::ip::resolver_base::numeric_host
                           : asio::ip::resolver_base::address_configured;
    asio::error_code ec;
    const auto endpoints = resolver.resolve(address.host, std::to_string(address.port), flags, ec);
    if (ec)
        throw link_fault{"cannot find the host: " + ec.message()};
    asio::ip::tcp::socket socket(*io);
    bool done = false;
    asio::async_connect(socket, endpoints,
                        [&](const asio::error_code& e, const asio::ip::tcp::endpoint&) {
                            ec = e;
                            done = true;
                        });
    const waited how = wait(*io, done, timeout, interrupted, [&] {
        asio::error_code ignored;
        socket.close(ignored);
    });
    if (how != waited::done)
        throw unfinished(how, "connection", timeout);
    if (ec)
        throw link_fault{"cannot connect: " + ec.message()};
    socket.set_option(asio::ip::tcp::no_delay(true), ec);
    return std::make_unique<stream_link<asio::ip::tcp::socket>>(std::move(io), std::move(socket),
                                                                std::move(interrupted));
}

std::unique_ptr<meter_link> open_serial(const std::string& device, unsigned baud,
                                        std::function<bool()> interrupted) {
    auto io = std::make_unique<asio::io_context>();
    asio::serial_port port(*io);
    asio::error_code ec;
    port.open(device, ec);
    if (ec)
        throw link_fault{"cannot open the serial port: " + ec.message()};
    using sp = asio::serial_port_base;
    port.set_option(sp::baud_rate(baud), ec);
    if (!ec)
        port.set_option(sp::character_size(8), ec);
    if (!ec)
        port.set_option(sp::parity(sp::parity::none), ec);
    if (!ec)
        port.set_option(sp::stop_bits(sp::stop_bits::one), ec);
    if (!ec)
        port.set_option(sp::flow_control(sp::flow_control::none), ec);
    if (ec)
        throw link_fault{"cannot set the serial port to " + std::to_string(baud) +
                         " baud, 8N1: " + ec.message()};
    return std::make_unique<stream_link<asio::serial_port>>(std::move(io), std::move(port),
                                                            std::move(interrupted));
}

} // namespace

std::unique_ptr<meter_link> open_link(const std::string& address, unsigned port, unsigned baud,
                                      std::chrono::milliseconds timeout,
                                      std::function<bool()> interrupted) {
    meter_address where;
    std::string error;
    if (!read_meter_address(address, port, where, error))
        throw link_fault{error};
    return where.device.empty() ? open_socket(where, timeout, std::move(interrupted))
                                : open_serial(where.device, baud, std::move(interrupted));
}
