#include "core/op_names.h"

#include "signal/numfmt.h"

namespace qf {

namespace {
struct NameEntry {
    int32_t code;
    const char* name;
};
constexpr NameEntry kNames[] = {
    {1100, "PrintGraph        "},      {1140, "Import            "},
    {1150, "Export            "},      {2010, "Sinusoidal        "},
    {2015, "Swept_Sine        "},      {2020, "Square            "},
    {2030, "Triangular        "},      {2050, "Unit_Sample       "},
    {2060, "Unit_Step         "},      {2090, "WinFunction       "},
    {2110, "SincFunction      "},      {2120, "RampFunction      "},
    {2130, "ExpFunction       "},      {2140, "NoiseFunction     "},
    {3010, "Addition          "},      {3015, "AdditionK         "},
    {3020, "Subtraction       "},      {3025, "SubtractionK      "},
    {3030, "Multiplication    "},      {3035, "MultiplicationK   "},
    {3040, "Reciprocal        "},      {3050, "Squared           "},
    {3060, "SquareRoot        "},      {3070, "Shift_Right       "},
    {3090, "Flip              "},      {3100, "Extract           "},
    {3110, "Sine              "},      {3120, "Cosine            "},
    {3130, "Tangent           "},      {3200, "Exponential       "},
    {3220, "Join              "},      {3230, "QuantizeFixedPt   "},
    {3240, "Difference        "},      {3260, "Smooth            "},
    {3270, "SampleNHold       "},      {3280, "Map_and_Saturate  "},
    {3290, "Difference_Eqn    "},      {3300, "Linear_Combo      "},
    {3310, "Log10             "},      {3320, "Real_To_Whole_Cvt "},
    {4005, "Perform_filtering "},      {4007, "LMSfilter   "},
    {4010, "Autocorrelation   "},      {4020, "Crosscorrelation  "},
    {4025, "Convolution       "},      {4030, "Decimation        "},
    {4040, "Interpolation     "},      {4050, "FastFourierTransform "},
    {4060, "WaveformDisplay   "},      {4070, "Oscilloscope        "},
    {4080, "DiscreteCosineTransform"}, {5010, "InverseFFT        "},
    {5040, "MagnitudeDisplay  "},      {5045, "Spectral_Display    "},
    {5050, "2-D_Spectral_Display"},    {5060, "3-D_Spectral_Display"},
    {5070, "PhaseDisplay      "},      {5080, "PowerDisplay      "},
    {5090, "MagDisp2DGrf      "},      {5100, "MagDisp3DGrf      "},
    {5110, "FrameAverateFFT      "},   {5120, "DecomposeFFT_XjY     "},
    {5130, "LPC_Analysis         "},   {5140, "LPC_To_Fre           "},
    {5160, "ComposeFFT_XjY       "},   {5170, "G(Z)=1/H(Z)          "},
    {5180, "G(Z)=1/H(Z)          "},   {6050, "ASCII_Binary_Cvt  "},
    {6060, "Int_Float_Cvt     "},      {6110, "Demultiplex       "},
    {6120, "Multiplex         "},
};
}  // namespace

const char* scriptName(int32_t code) {
    for (const NameEntry& e : kNames)
        if (e.code == code) return e.name;
    return nullptr;
}

bool fourBlankScriptLine(int32_t code) {
    switch (code) {
        case 4050:
        case 4080:
        case 5110:
        case 5120:
        case 5130:
        case 5140:
        case 5160:
        case 5170:
        case 5180:
            return true;
        default:
            return false;
    }
}

std::string scriptLinePrefix(int32_t code) {
    const char* name = scriptName(code);
    if (name == nullptr) return std::string();
    return fmtString(fourBlankScriptLine(code) ? "%04d %s    " : "%04d %s       ", code, name);
}

}  // namespace qf
