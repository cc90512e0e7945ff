// View commands: grProcessCmd turns one graph command into a change of the
// view (first point, points per curve, samples per point, Y range) and says
// whether to draw now (0), ask the host for a repaint (9996), do nothing
// (-1), refuse a print (9997) or report a new window (9999).  The scroll-bar
// update keeps the host's horizontal scroll bar (0..32767) in step.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "core/host.h"
#include "core/log.h"
#include "graph/plot_data.h"
#include "signal/format.h"
#include "signal/numfmt.h"

namespace qf {

namespace {

constexpr int32_t kThumbRange = 32767;
constexpr float kLinearGuard = 3.4028234663852886e37f;
constexpr float kTinyLinear = 1.17549435e-33f;
constexpr float kBigDecade = 1.7014117e37f;
constexpr float kTinyDecade = 2.3509887e-37f;

// Frame size N of a frequency file; channels of a recording.
int32_t frameOf(const PlotData& p) {
    if (isFrequencyKind(kindOf(p)) || isSpectrogramKind(kindOf(p)))
        return p.sig.param1 > 1 ? p.sig.param1 : 2;
    return fileChannels(p);
}

int32_t floorDiv(int32_t a, int32_t b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

int32_t modOf(int32_t a, int32_t b) {
    return a - floorDiv(a, b) * b;
}

// Keeps a frequency view inside the first half of one frame.
void alignLeft(PlotData* p, int32_t n, int32_t bins) {
    if (modOf(p->firstPt, n) >= n / 2) p->firstPt = floorDiv(p->firstPt, n) * n + n / 2 - bins;
    p->firstPt = std::max(p->firstPt, 0);
}

void alignRight(PlotData* p, int32_t n, int32_t bins, int32_t records) {
    if (modOf(p->firstPt, n) + bins > n / 2) p->firstPt = (floorDiv(p->firstPt, n) + 1) * n;
    p->firstPt = std::max(0, std::min(p->firstPt, records - n / 2 - bins));
}

int32_t clampFirst(int32_t first, int32_t last) {
    return std::max(0, std::min(first, last));
}

// The selection centre M when a selection exists.
bool selectionCentre(const PlotData& p, int32_t& m) {
    if (p.selStart < 0) return false;
    m = static_cast<int32_t>((int64_t{p.selStart} + p.selEnd) / 2);
    return true;
}

int32_t xScaleOut(PlotData* p, int32_t records) {
    const uint32_t kind = kindOf(*p);
    if (kind == GK_TIME && isMultiChannel(*p)) {
        const int32_t perChannel = records / fileChannels(*p);
        if (p->noPtsPerPlot < kViewPoints && p->noPtsPerPlot < perChannel) {
            p->noPtsPerPlot = std::min({2 * p->noPtsPerPlot, kViewPoints, perChannel});
            p->firstPt -= p->noPtsPerPlot / 4;
        }
    } else if (kind == GK_TIME) {
        const int64_t r = records;
        const int64_t step = p->ptStep;
        if (p->noPtsPerPlot < kViewPoints && p->noPtsPerPlot < records) {
            p->noPtsPerPlot = std::min({2 * p->noPtsPerPlot, kViewPoints, records});
            p->firstPt -= p->noPtsPerPlot / 4;
            p->ptStep = 1;
        } else if (r >= 2400 * step) {
            p->ptStep *= 2;
            p->noPtsPerPlot = kMaxPoints;
            p->firstPt -= kMaxPoints * p->ptStep / 4;
            p->firstPt = static_cast<int32_t>(
                std::min<int64_t>(p->firstPt, r - int64_t{kMaxPoints} * p->ptStep));
            p->cacheFirstPt = -1;
        } else if (r >= 1200 * step) {
            p->ptStep *= 2;
            p->noPtsPerPlot = static_cast<int32_t>((r + p->ptStep - 1) / p->ptStep);
            p->firstPt = 0;
            p->cacheFirstPt = -1;
        } else if (step == 1 && r >= 601 && r < 1200) {
            p->ptStep = 2;
            p->noPtsPerPlot = records / 2;
            p->firstPt = 0;
            p->cacheFirstPt = -1;
        }
    } else if (isFrequencyKind(kind) && p->ptStep > 1) {
        const int32_t n = frameOf(*p);
        const int32_t oldBins = (n / 2) / p->ptStep;
        p->ptStep /= 2;
        p->noPtsPerPlot = std::max(std::min((n / 2) / p->ptStep, kViewPoints), 10);
        p->firstPt = std::max(p->firstPt - oldBins / 4, 0);
        if (modOf(p->firstPt, n) + (n / 2) / p->ptStep > n / 2)
            p->firstPt = floorDiv(p->firstPt, n) * n;
    }
    updateScrollBar(p);
    return kRepaint;
}

int32_t xScaleIn(PlotData* p, int32_t records) {
    const uint32_t kind = kindOf(*p);
    int32_t m = 0;
    const bool selected = selectionCentre(*p, m);
    if (kind == GK_TIME) {
        if (p->ptStep > 2) {
            p->ptStep /= 2;
            p->noPtsPerPlot = kMaxPoints;
            p->cacheFirstPt = -1;
            const int64_t half = int64_t{600} * p->ptStep;
            if (selected && p->firstPt <= m && m <= p->firstPt + 4 * half)
                p->firstPt = static_cast<int32_t>(std::max<int64_t>(0, m - half));
            else
                p->firstPt = static_cast<int32_t>(p->firstPt + half);
            p->firstPt = static_cast<int32_t>(
                std::min<int64_t>(p->firstPt, records - int64_t{kMaxPoints} * p->ptStep));
        } else if (p->ptStep == 2) {
            p->ptStep = 1;
            p->noPtsPerPlot = kViewPoints;
            p->cacheFirstPt = -1;
            if (selected && p->firstPt <= m && m <= p->firstPt + 1200)
                p->firstPt = std::max(0, m - 300);
            else
                p->firstPt += 300;
            p->firstPt = std::min(p->firstPt, records - kViewPoints);
        } else if (p->noPtsPerPlot > 9) {
            p->noPtsPerPlot = std::max(p->noPtsPerPlot / 2, 9);
            if (selected && p->firstPt <= m && m <= p->firstPt + 2 * p->noPtsPerPlot)
                p->firstPt = std::max(0, m - p->noPtsPerPlot / 2);
            else
                p->firstPt += p->noPtsPerPlot / 2;
        }
    } else if (isFrequencyKind(kind) && p->noPtsPerPlot > 9) {
        const int32_t n = frameOf(*p);
        const int32_t oldBins = (n / 2) / p->ptStep;
        p->ptStep *= 2;
        p->noPtsPerPlot = std::max(std::min((n / 2) / p->ptStep, kViewPoints), 9);
        p->firstPt += oldBins / 4;
    }
    updateScrollBar(p);
    return kRepaint;
}

int32_t xScaleOutMax(PlotData* p, int32_t records) {
    if (kindOf(*p) != GK_TIME) return kRepaint;
    if (!isMultiChannel(*p)) {
        if (records > kViewPoints) {
            if (records >= kMaxPoints) {
                int32_t step = 2;
                while (step < records / 1200.0) step *= 2;
                p->ptStep = step;
                p->noPtsPerPlot = static_cast<int32_t>((int64_t{records} + step - 1) / step);
            } else {
                p->ptStep = 2;
                p->noPtsPerPlot = records / 2;
            }
            p->cacheFirstPt = -1;
        } else {
            p->noPtsPerPlot = records;
        }
    }
    p->firstPt = 0;
    updateScrollBar(p);
    return kRepaint;
}

int32_t xScaleInReset(PlotData* p, int32_t records) {
    if (kindOf(*p) != GK_TIME) return kRepaint;
    if (!isMultiChannel(*p)) {
        p->noPtsPerPlot = std::min(records, kViewPoints);
        p->ptStep = 1;
        p->cacheFirstPt = -1;
        int32_t m = 0;
        if (selectionCentre(*p, m)) p->firstPt = std::max(0, m - p->noPtsPerPlot / 2);
        p->firstPt = std::min(p->firstPt, records - p->noPtsPerPlot);
    }
    updateScrollBar(p);
    return kRepaint;
}

// Y scale commands: the linear rule for one-channel time graphs, the
// decade rule for frequency kinds.
int32_t yScale(PlotData* p, int32_t command) {
    const uint32_t kind = kindOf(*p);
    const bool linear = kind == GK_TIME && !isMultiChannel(*p);
    if (!linear && !isFrequencyKind(kind)) return kRepaint;
    p->z1DYRoundYN = 'n';
    const float oldMax = p->yMax, oldMin = p->yMin;
    float& hi = p->yMax;
    float& lo = p->yMin;
    if (linear) {
        const float s = hi - lo;
        switch (command) {
            case gr1dYsCALEoUT:
                if (std::fabs(hi) < kLinearGuard && std::fabs(lo) < kLinearGuard) {
                    hi += s / 2;
                    lo -= s / 2;
                }
                break;
            case gr1dYsCALEiN:
                if (!(std::fabs(hi) <= kTinyLinear && std::fabs(lo) <= kTinyLinear)) {
                    hi -= s / 4;
                    lo += s / 4;
                }
                break;
            case gr1dYsCALEuP:
                if (std::fabs(lo) < kLinearGuard) {
                    hi -= s / 8;
                    lo -= s / 8;
                }
                break;
            default:  // down
                if (std::fabs(hi) < kLinearGuard) {
                    hi += s / 8;
                    lo += s / 8;
                }
                break;
        }
    } else {
        switch (command) {
            case gr1dYsCALEoUT:
                if (hi / lo < 1e8f) {
                    if (hi < kBigDecade) hi *= 10;
                    if (lo > kTinyDecade) lo /= 10;
                }
                break;
            case gr1dYsCALEiN:
                if (hi / lo > 100) {
                    hi /= 10;
                    lo *= 10;
                } else if (hi / lo > 10) {
                    lo *= 10;
                }
                break;
            case gr1dYsCALEuP:
                if (hi > kTinyDecade) hi /= 10;
                if (lo > kTinyDecade) lo /= 10;
                if (hi / lo < 9.9997f) hi *= 10;
                break;
            default:  // down
                if (hi < kBigDecade) hi *= 10;
                if (lo < kBigDecade) lo *= 10;
                if (hi / lo < 9.9997f) lo /= 10;
                break;
        }
    }
    if (hi != oldMax || lo != oldMin) p->z1DYAutoScaleYN = 'n';
    return kRepaint;
}

}  // namespace

int32_t viewWidth(const PlotData& p) {
    if (isFrequencyKind(kindOf(p))) return p.noPtsPerPlot;
    int64_t w = int64_t{p.noPtsPerPlot} * p.ptStep;
    if (isMultiChannel(p)) w *= fileChannels(p);
    return static_cast<int32_t>(std::clamp<int64_t>(w, INT32_MIN, INT32_MAX));
}

void updateScrollBar(PlotData* p) {
    auto place = [&](int32_t position, int32_t visible) {
        hostcall::DoSetHorizontalScrollRange(p->grRecPtr, 0, kThumbRange);
        hostcall::DoSetHorizontalScrollPosition(p->grRecPtr, position, visible);
    };
    const uint32_t kind = kindOf(*p);
    const int32_t records = p->sig.recordCount;
    if (kind == GK_TIME) {
        const int64_t shown = int64_t{p->noPtsPerPlot} * p->ptStep;
        const int64_t last =
            isMultiChannel(*p) ? records - shown * fileChannels(*p) : records - shown;
        p->firstPt =
            static_cast<int32_t>(std::max<int64_t>(0, std::min<int64_t>(p->firstPt, last)));
        const int64_t perChannel = records / fileChannels(*p);
        if (perChannel > shown && records - shown > 0)
            place(static_cast<int32_t>(int64_t{p->firstPt} * kThumbRange / (records - shown)), 1);
        else
            place(0, 0);
    } else if (isFrequencyKind(kind)) {
        const bool whole = records <= frameOf(*p) && p->ptStep < 2;
        place(0, whole ? 0 : 1);
    } else if (isSpectrogramKind(kind)) {
        const int32_t last = p->noFrames - p->noPtsPerPlot;
        p->firstPt = clampFirst(p->firstPt, last);
        place(last >= 2 ? static_cast<int32_t>(int64_t{p->firstPt} * kThumbRange / last) : 0, 1);
    } else {
        place(0, 0);
    }
}

int32_t grProcessCmd(PlotData* p, int32_t command) {
    const char* name =
        command >= 0 && command < kGraphCommandCount ? kGraphCommandNames[command] : "";
    logPrintf("OP $$enter$$ grProcessCmd (pData = %p, command = %d %s)\n", static_cast<void*>(p),
              command, name);
    if (command < grOPEN || command > gr1dXsCALEiNrESET) return kNoChange;
    GraphState& gs = graphs();
    const uint32_t kind = kindOf(*p);
    const bool time = kind == GK_TIME;
    const bool frequency = isFrequencyKind(kind);
    const bool spectrogram = isSpectrogramKind(kind);
    const int32_t n = frameOf(*p);
    const int32_t records = p->sig.recordCount;
    const int32_t width = viewWidth(*p);
    const int32_t bins = frequency ? (n / 2) / std::max(p->ptStep, 1) : 0;
    const int32_t old = p->firstPt;
    auto moved = [&]() { return p->firstPt == old ? kNoChange : kRepaint; };

    switch (command) {
        case grOPEN: {
            p->cacheFirstPt = -1;
            p->cursorRecord[0] = p->cursorRecord[1] = -1;
            p->minMaxCache = new (std::nothrow) float[2 * kViewPoints];
            if (p->minMaxCache == nullptr) {
                delete[] p->xBuf;
                delete[] p->yBuf;
                p->xBuf = p->yBuf = nullptr;
                return kCommandFailed;
            }
            switch (kind) {
                case GK_RT_SPECTRUM:
                    fmt(p->title, sizeof p->title, "%s", "Spectrogram");
                    break;
                case GK_RT_2D:
                    fmt(p->title, sizeof p->title, "%s", "2-D Spectrogram");
                    break;
                case GK_RT_3D:
                    fmt(p->title, sizeof p->title, "%s", "3-D Spectrogram");
                    break;
                case GK_SCOPE:
                    fmt(p->title, sizeof p->title, "%s", "Oscilloscope");
                    break;
                default:
                    fmt(p->title, sizeof p->title, "%.*s%.*s",
                        static_cast<int>(sizeof p->sig.file.p), p->sig.file.p,
                        static_cast<int>(sizeof p->sig.file.n), p->sig.file.n);
                    break;
            }
            hostcall::DoCreateGraphWindow(p->title, p);
            updateScrollBar(p);
            return kWindowCreated;
        }
        case grCLOSE:
            if (p->recKind != 'g') return kNoChange;
            delete[] p->xBuf;
            delete[] p->yBuf;
            delete[] p->minMaxCache;
            p->xBuf = p->yBuf = p->minMaxCache = nullptr;
            return kNoChange;
        case grPANLEFT:
            if (frequency) {
                p->firstPt -= bins / 5;
                alignLeft(p, n, bins);
            } else {
                p->firstPt = std::max(p->firstPt - width / 5, 0);
            }
            return moved();
        case grPANRIGHT:
            if (frequency) {
                p->firstPt += bins / 5;
                alignRight(p, n, bins, records);
            } else if (spectrogram) {
                p->firstPt =
                    clampFirst(p->firstPt + (p->noPtsPerPlot / 5) * p->ptStep, p->noFrames - width);
            } else {
                p->firstPt = clampFirst(p->firstPt + width / 5, records - width);
            }
            return moved();
        case grPANLEFTFAST:
            if (frequency) {
                p->firstPt -= n;
                alignLeft(p, n, bins);
            } else {
                p->firstPt = std::max(p->firstPt - width, 0);
            }
            return moved();
        case grPANRIGHTFAST:
            if (frequency) {
                p->firstPt += n;
                alignRight(p, n, bins, records);
            } else if (spectrogram) {
                p->firstPt =
                    clampFirst(p->firstPt + p->noPtsPerPlot * p->ptStep, p->noFrames - width);
            } else {
                p->firstPt = clampFirst(p->firstPt + width, records - width);
            }
            return moved();
        case grGOTOHEAD:
            p->firstPt = 0;
            return moved();
        case grGOTOEND:
            if (frequency)
                p->firstPt = std::max(records - n, 0);
            else if (spectrogram)
                p->firstPt = std::max(records / n - width, 0);
            else
                p->firstPt = std::max(records - width, 0);
            return moved();
        case grGOTON:
            if (gs.gotoPosition != -1) {
                p->firstPt = gs.gotoPosition;
                if (frequency) {
                    if (modOf(p->firstPt, n) + bins > n / 2)
                        p->firstPt = (floorDiv(p->firstPt, n) + 1) * n;
                    if (modOf(p->firstPt, n) > n / 2)
                        p->firstPt = floorDiv(p->firstPt, n) * n + n / 2 - bins;
                    p->firstPt = clampFirst(p->firstPt, records - n / 2 - bins);
                }
            }
            return moved();
        case grREFRESH:
            break;
        case grPRINT:
            if (p->recKind == 'r') {
                emitText(QF_MSG_NOTICE, "Printing of realtime display not supported.");
                return kCommandFailed;
            }
            if (time || frequency || spectrogram) {
                gs.printing = true;
                break;
            }
            emitText(QF_MSG_NOTICE, "Printing of 2-D/3-D display not supported.");
            return kPrintRefused;
        case gr1dXsCALEoUT:
            return xScaleOut(p, records);
        case gr1dXsCALEiN:
            return xScaleIn(p, records);
        case gr1dYsCALEoUT:
        case gr1dYsCALEiN:
        case gr1dYsCALEuP:
            return yScale(p, command);
        case gr1dYsCALEdOWN: {
            logPrintf("OP    ^^^^1 pData->z1DYAutoScaleYN = %c\n", p->z1DYAutoScaleYN);
            const int32_t r = yScale(p, command);
            logPrintf("OP    ^^^^2 pData->z1DYAutoScaleYN = %c\n", p->z1DYAutoScaleYN);
            return r;
        }
        case gr1dYsCALEaUTO:
            logPrintf("OP    ^^^^3 pData->z1DYAutoScaleYN = %c\n", p->z1DYAutoScaleYN);
            p->z1DYAutoScaleYN = p->z1DYRoundYN = 'y';
            logPrintf("OP    ^^^^$$$ tilt  pData->z1DYAutoScaleYN = %c\n", p->z1DYAutoScaleYN);
            return kRepaint;
        case gr1dXsCALEoUTmAX:
            return xScaleOutMax(p, records);
        case gr1dXsCALEiNrESET:
            return xScaleInReset(p, records);
        default:  // grSCROLLUP, grSCROLLDOWN
            return kNoChange;
    }
    // The common exit of grREFRESH and grPRINT.
    p->firstPt = std::max(p->firstPt, 0);
    if (time && recordTypeOf(*p) == kRealtimeInt16 && fileChannels(*p) >= 2)
        p->firstPt -= p->firstPt % fileChannels(*p);
    logPrintf("OP $$leave$$ grProcessCmd (pData = %p)\n", static_cast<void*>(p));
    return kDrawNow;
}

}  // namespace qf
