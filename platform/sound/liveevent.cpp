#include "liveevent.h"

namespace vorn {

namespace {

std::string Source(const LiveEvent& event)
{
    return event.source[0] == '\0' ? std::string("the default source")
                                   : "the source '" + std::string(event.source) + "'";
}

std::string Sink(const LiveEvent& event)
{
    return event.sink[0] == '\0' ? std::string("the default sink")
                                 : "the sink '" + std::string(event.sink) + "'";
}

std::string FormatText(const LiveFormat& format)
{
    return std::to_string(format.rate) + " Hz, " + std::to_string(format.channels)
        + (format.channels == 1 ? " channel, " : " channels, ")
        + (format.sample == LiveSampleFormat::S16 ? "16-bit" : "32-bit float");
}

} // namespace

std::string LiveEventText(const LiveEvent& event)
{
    switch (event.kind) {
    case LiveEventKind::Started:
        return (event.source[0] != '\0' ? "from " + Source(event) + " to " : std::string("to "))
            + Sink(event) + " at " + FormatText(event.format);
    case LiveEventKind::NotResponding:
        return "the sound server does not respond";
    case LiveEventKind::Responding:
        return "the sound server responds again";
    case LiveEventKind::NoServer:
        return "no sound server answers";
    case LiveEventKind::ServerLost:
        return "the sound server went away";
    case LiveEventKind::SourceMissing:
        return Source(event) + " does not exist";
    case LiveEventKind::SinkMissing:
        return Sink(event) + " does not exist";
    case LiveEventKind::SourceLost:
        return Source(event) + " went away";
    case LiveEventKind::SinkLost:
        return Sink(event) + " went away";
    case LiveEventKind::Moved:
        return "the sound server moved the stream: now "
            + (event.source[0] != '\0' ? "from " + Source(event) + " to " : std::string("to "))
            + Sink(event);
    case LiveEventKind::Ended:
        return "played to the end";
    case LiveEventKind::Failed:
        break;
    }
    return std::string("the sound server refused: ") + event.text;
}

} // namespace vorn
