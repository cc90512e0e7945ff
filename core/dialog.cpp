#include "core/dialog.h"

#include <cstring>
#include <set>
#include <string>
#include <utility>

#include "core/engine.h"
#include "core/host.h"
#include "signal/descriptor.h"
#include "signal/numfmt.h"

namespace qf {

namespace {

// Messages shown once while the library is loaded: (code, place in the
// description's check list).
struct ShownOnce {
    static constexpr Lifetime kLifetime = Lifetime::Load;
    std::set<std::pair<int32_t, int32_t>> shown;
};

std::string bounded(const char* text, std::size_t size) {
    return std::string(text, ::strnlen(text, size));
}

int32_t paramOffset(const OperationDescription& d, std::size_t i) {
    return i < d.params.size() ? d.params[i].info.offset
                               : QF_PARAM_OFFSET + 4 * static_cast<int>(i);
}

// A message argument as text and as a number.
struct ArgValue {
    std::string text;
    double number = 0.0;
    bool isText = false;
};

ArgValue argValue(const OperationDescription& d, const CheckMessage& m, Arg a,
                  const CommandBlock& cb) {
    CommandBlock& b = const_cast<CommandBlock&>(cb);
    ArgValue v;
    auto text = [&v](std::string s) {
        v.text = std::move(s);
        v.isText = true;
    };
    switch (a) {
        case Arg::In1Path:
            text(bounded(b.in1.p, sizeof b.in1.p));
            break;
        case Arg::In1Name:
            text(bounded(b.in1.n, sizeof b.in1.n));
            break;
        case Arg::In2Path:
            text(bounded(b.in2.p, sizeof b.in2.p));
            break;
        case Arg::In2Name:
            text(bounded(b.in2.n, sizeof b.in2.n));
            break;
        case Arg::OutName:
            text(bounded(b.out.n, sizeof b.out.n));
            break;
        case Arg::Int0:
            v.number = paramInt(b, paramOffset(d, 0));
            break;
        case Arg::NegInt0:
            v.number = -static_cast<double>(paramInt(b, paramOffset(d, 0)));
            break;
        case Arg::Int1:
            v.number = paramInt(b, paramOffset(d, 1));
            break;
        case Arg::Double0:
            v.number = paramDouble(b, paramOffset(d, 0));
            break;
        case Arg::Double1:
            v.number = paramDouble(b, paramOffset(d, 1));
            break;
        case Arg::InputCount:
            v.number = blockDescriptor(b, 0).recordCount;
            break;
        case Arg::Computed:
            v.number = m.computed ? m.computed(cb) : 0.0;
            break;
        case Arg::None:
            break;
    }
    return v;
}

// Formats text with up to three arguments, one conversion at a time, so
// that each argument is passed with the type its conversion expects.
std::string formatMessage(const char* text, const ArgValue* args, int argCount) {
    std::string out;
    int next = 0;
    const char* p = text;
    while (*p) {
        if (*p != '%') {
            out += *p++;
            continue;
        }
        if (p[1] == '%') {
            out += '%';
            p += 2;
            continue;
        }
        const char* start = p++;
        while (*p && std::strchr("-+ #0123456789.", *p)) ++p;
        bool isLong = false;
        while (*p == 'l' || *p == 'h') isLong = (*p++ == 'l') || isLong;
        const char conv = *p ? *p++ : 's';
        const std::string directive(start, static_cast<std::size_t>(p - start));
        const ArgValue a = next < argCount ? args[next] : ArgValue{};
        ++next;
        if (conv == 's') {
            out += fmtString(directive.c_str(), a.isText ? a.text.c_str() : "");
        } else if (std::strchr("diuxXc", conv)) {
            const double n = a.number;
            const long whole = n >= 2147483647.0    ? 2147483647L
                               : n <= -2147483648.0 ? -2147483647L - 1
                                                    : static_cast<long>(n);
            out += isLong ? fmtString(directive.c_str(), whole)
                          : fmtString(directive.c_str(), static_cast<int>(whole));
        } else {
            out += fmtString(directive.c_str(), a.number);
        }
    }
    return out;
}

bool canAskAgain(DialogKind k) {
    return k != DialogKind::CheckOnly;
}

// The extension and label pairs of the described files, in dialog order.
int32_t showFilesDialog(const OperationDescription& d) {
    const char* ext[3] = {nullptr, nullptr, nullptr};
    const char* label[3] = {nullptr, nullptr, nullptr};
    int n = 0;
    for (const QfFileInfo& f : d.files) {
        if (f.label == nullptr || n == 3) continue;
        ext[n] = f.extension;
        label[n] = f.label;
        ++n;
    }
    if (!host().stdGet123Files) return 1;
    return hostcall::stdGet123Files(d.dialog.title, ext[0], label[0], ext[1], label[1], ext[2],
                                    label[2], d.dialog.mode);
}

int32_t showDialog(const OperationDescription& d, CheckParamsFn check) {
    const HostInterface& h = host();
    const DialogSpec& s = d.dialog;
    switch (s.kind) {
        case DialogKind::Files:
            return showFilesDialog(d);
        case DialogKind::FilesAndK: {
            const QfFileInfo* in = d.file(QF_ENTRY_IN1);
            const QfFileInfo* out = d.file(QF_ENTRY_OUT);
            if (!h.stdGet2FilesNk || !in || !out) return 1;
            return hostcall::stdGet2FilesNk(s.title, in->extension, in->label, s.constantLabel,
                                            out->extension, out->label);
        }
        case DialogKind::HostEdit: {
            const HostEditFn f = s.edit ? h.*(s.edit) : nullptr;
            return f ? callHostSlot(s.edit) : 1;
        }
        case DialogKind::HostChecked: {
            const HostCheckedFn f = s.checked ? h.*(s.checked) : nullptr;
            return f ? callHostSlot(s.checked, s.title, check) : 1;
        }
        case DialogKind::CheckOnly:
            return 0;
        default:
            return 1;
    }
}

}  // namespace

double rememberedValue(int32_t code, int32_t offset) {
    const OperationDescription* d = describe(code);
    if (d)
        for (const ParamSpec& p : d->params)
            if (p.info.offset == offset) return p.info.fallback;
    return 0.0;
}

void seedRemembered(CommandBlock& b, const OperationDescription& d) {
    auto& table = engine().remembered;
    for (const ParamSpec& p : d.params) {
        double v;
        if (p.remember == Remember::Status) {
            v = status().*(p.statusField);
        } else if (p.remember == Remember::Engine) {
            auto it = table.find({d.code, p.info.offset});
            v = it != table.end() ? it->second : p.info.fallback;
        } else {
            continue;
        }
        if (p.info.type == QF_VALUE_DOUBLE)
            paramDouble(b, p.info.offset) = v;
        else
            paramInt(b, p.info.offset) = static_cast<int32_t>(v);
    }
}

void storeRemembered(CommandBlock& b, const OperationDescription& d) {
    for (const ParamSpec& p : d.params) {
        if (p.remember == Remember::None) continue;
        const double v = p.info.type == QF_VALUE_DOUBLE ? paramDouble(b, p.info.offset)
                                                        : paramInt(b, p.info.offset);
        if (p.remember == Remember::Status)
            status().*(p.statusField) = paramInt(b, p.info.offset);
        else
            engine().remembered[{d.code, p.info.offset}] = v;
    }
}

int32_t checkMessageText(const OperationDescription& d, const CheckMessage& m,
                         const CommandBlock& b, char* text, std::size_t size) {
    ArgValue args[3];
    int n = 0;
    for (Arg a : m.args)
        if (a != Arg::None) args[n++] = argValue(d, m, a, b);
    fmt(text, size, "%s", formatMessage(m.text, args, n).c_str());
    return m.kind;
}

// Tells hosts which check, and which parameter, the message about to be
// sent is about (qfRunState).
void noteCheck(const OperationDescription& d, const CheckMessage& m) {
    QfRunState& s = engine().hostFacing.state;
    s.check = m.result;
    s.param = nullptr;
    if (m.about == 0) return;
    for (const ParamSpec& p : d.params)
        if (p.info.offset == m.about && (p.info.flags & QF_PARAM_FIXED) == 0) {
            s.param = p.info.name;
            return;
        }
}

// A result may have several messages: each is sent, in the listed order.
bool reportCheck(const OperationDescription& d, int32_t result) {
    const CommandBlock& b = block();
    bool sent = false;
    for (std::size_t i = 0; i < d.checks.size(); ++i) {
        const CheckMessage& m = d.checks[i];
        if (m.result != result || (m.when && !m.when(b))) continue;
        if (m.once) {
            auto& shown = familyState<ShownOnce>().shown;
            if (!shown.insert({d.code, static_cast<int32_t>(i)}).second) continue;
        }
        EngineRuntime& rt = runtime();
        checkMessageText(d, m, b, rt.message, sizeof rt.message);
        if (!sent) noteCheck(d, m);
        emitText(m.kind, rt.message);
        sent = true;
    }
    return sent;
}

int32_t askParams(int32_t mode, CheckParamsFn check) {
    CommandBlock& b = block();
    const OperationDescription* d = describe(b.opCode);
    if (d == nullptr) return 1;
    const DialogSpec& s = d->dialog;
    if (s.kind == DialogKind::Refuse) return 1;
    if (s.kind == DialogKind::Nothing) return 0;
    for (;;) {
        seedRemembered(b, *d);
        if (s.before) {
            const int32_t r = s.before(b);
            if (r != 0) return r;
        }
        const int32_t shown = showDialog(*d, check);
        if (shown != 0) return shown;
        if (s.storeBeforeCheck) storeRemembered(b, *d);
        if (s.after) {
            const int32_t r = s.after(b);
            if (r != 0) return r;
        }
        // The host's dialog ran the check on its OK button.
        if (s.kind == DialogKind::HostChecked) {
            storeRemembered(b, *d);
            return 0;
        }
        const int32_t c = check ? check(mode) : 0;
        const CheckMessage* m = d->check(c);
        if (m == nullptr) {
            storeRemembered(b, *d);
            return c;
        }
        reportCheck(*d, c);
        switch (m->then) {
            case Then::AskAgain:
                if (!canAskAgain(s.kind)) return c;
                continue;
            case Then::Stop:
                storeRemembered(b, *d);
                return c;
            case Then::Fail:
                storeRemembered(b, *d);
                return 1;
            case Then::GoOn:
                storeRemembered(b, *d);
                return 0;
        }
    }
}

}  // namespace qf

extern "C" {

QF_EXPORT int32_t qfCheckMessage(int32_t code, int32_t result, char* text, int32_t size) {
    const qf::OperationDescription* d = qf::describe(code);
    const qf::CheckMessage* m = d ? d->check(result) : nullptr;
    if (m == nullptr || text == nullptr || size < 1) return -1;
    qf::noteCheck(*d, *m);
    return qf::checkMessageText(*d, *m, qf::block(), text, static_cast<std::size_t>(size));
}

QF_EXPORT const QfOperationInfo* qfOperationInfo(int32_t code) {
    const qf::OperationDescription* d = qf::describe(code);
    return d ? &d->info : nullptr;
}

QF_EXPORT int32_t qfOperationCodes(int32_t* codes, int32_t capacity) {
    const qf::OperationTable& t = qf::operationTable();
    if (t.count < 0) return 0;
    for (int32_t i = 0; i < t.count && i < capacity && codes; ++i) codes[i] = t.records[i].code;
    return t.count;
}

}  // extern "C"
