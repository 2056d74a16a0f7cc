// The meter's side of the line written out beforehand, for the tests of
// the code that talks to a meter: each receive takes the next scripted
// step, an answer or a fault, and every line sent is kept to be looked at.
// A receive past the script is a fault too, so that a test that asks one
// question too many fails rather than hangs.
#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "acquire/link.h"

class scripted_link : public meter_link {
  public:
    // The next answer, a line without its line end.
    scripted_link& answer(std::string line) {
        steps_.push_back({std::move(line), false});
        return *this;
    }
    // The next answer is what `answering` gives when the receive comes:
    // for what happens elsewhere while the meter is asked.
    scripted_link& answer_by(std::function<std::string()> answering) {
        steps_.push_back({"", false, std::move(answering)});
        return *this;
    }
    // The next receive fails with `what`: "no answer within 10 s".
    scripted_link& fault(std::string what) {
        steps_.push_back({std::move(what), true});
        return *this;
    }

    void send(std::string_view text) override { sent.emplace_back(text); }

    std::string receive(std::string_view, std::chrono::milliseconds) override {
        if (steps_.empty())
            throw link_fault{"the script has no more answers"};
        step next = std::move(steps_.front());
        steps_.pop_front();
        if (next.is_fault)
            throw link_fault{std::move(next.text)};
        return next.answering ? next.answering() : next.text;
    }

    std::size_t unanswered() const { return steps_.size(); }

    std::vector<std::string> sent; // each as sent, its line end included

  private:
    struct step {
        std::string text;
        bool is_fault;
        std::function<std::string()> answering = {};
    };
    std::deque<step> steps_;
};
