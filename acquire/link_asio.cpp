#include "acquire/link_asio.h"

#include <asio.hpp>

#include "acquire/options.h"
#include "base/text_format.h"

namespace {

using namespace std::chrono_literals;

// Ctrl-C is looked for this often while a wait lasts.
constexpr auto slice = 100ms;

std::string seconds_text(std::chrono::milliseconds t) {
    return format("%.3g s", static_cast<double>(t.count()) / 1000);
}

// Runs the context until `done`, `timeout` or Ctrl-C: the last two throw.
void wait(asio::io_context& io, const bool& done, std::chrono::milliseconds timeout,
          const std::function<bool()>& interrupted, const std::function<void()>& cancel,
          const std::string& waiting_for) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    io.restart();
    while (!done) {
        if (interrupted()) {
            cancel();
            io.run();
            throw link_fault{"interrupted (Ctrl-C)"};
        }
        if (std::chrono::steady_clock::now() >= end) {
            cancel();
            io.run();
            throw link_fault{"no " + waiting_for + " within " + seconds_text(timeout)};
        }
        io.run_for(slice);
    }
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
        wait(
            *io_, done, 10s, interrupted_, [this] { cancel(); }, "room to send");
        if (error)
            throw link_fault{"sending failed: " + said(error)};
    }

    std::string receive(std::string_view line_end, std::chrono::milliseconds timeout) override {
        bool done = false;
        asio::error_code error;
        std::size_t length = 0;
        asio::async_read_until(stream_, asio::dynamic_buffer(pending_), std::string(line_end),
                               [&](const asio::error_code& ec, std::size_t n) {
                                   error = ec;
                                   length = n;
                                   done = true;
                               });
        wait(
            *io_, done, timeout, interrupted_, [this] { cancel(); }, "answer");
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

std::unique_ptr<meter_link> open_socket(const std::string& address, unsigned port,
                                        std::chrono::milliseconds timeout,
                                        std::function<bool()> interrupted) {
    auto io = std::make_unique<asio::io_context>();
    std::string host = address, service = std::to_string(port);
    if (const std::size_t colon = address.rfind(':');
        colon != std::string::npos && address.find(':') == colon) {
        host = address.substr(0, colon);
        service = address.substr(colon + 1);
    }
    asio::ip::tcp::resolver resolver(*io);
    asio::error_code ec;
    const auto endpoints = resolver.resolve(host, service, ec);
    if (ec)
        throw link_fault{"cannot find the host: " + ec.message()};
    asio::ip::tcp::socket socket(*io);
    bool done = false;
    asio::async_connect(socket, endpoints,
                        [&](const asio::error_code& e, const asio::ip::tcp::endpoint&) {
                            ec = e;
                            done = true;
                        });
    wait(
        *io, done, timeout, interrupted,
        [&] {
            asio::error_code ignored;
            socket.close(ignored);
        },
        "connection");
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
    return is_serial(address) ? open_serial(address, baud, std::move(interrupted))
                              : open_socket(address, port, timeout, std::move(interrupted));
}
