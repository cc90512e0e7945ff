// Signal generators 2010-2140: eleven operations that make a new time signal
// from parameters alone.  They share one set of handlers; only the compute
// kernel differs:
//
//   periodic   2010 sine, 2015 swept sine, 2020 square, 2030 triangular
//              x = i * w0 - phi, v = g(x) * A + noise() + offset,
//              w0 = 2 pi f / fs; 16-bit words trunc(v * 32767), stored by the
//              overflow mode (saturate or keep the low 16 bits)
//   aperiodic  2050 unit sample, 2060 unit step, 2090 window, 2110 sinc,
//              2120 ramp, 2130 exponential: v = g(i) + noise(); 16-bit words
//              always saturate
//   noise      2140: v = noise(), stored as the aperiodic kernel does
//
// Both 16-bit paths scale by 32767, so a full-scale sine peaks at +-32767.
// All noise comes from the engine-wide 15-bit generator
//   x <- x * 214013 + 2531011 (mod 2^32), r = (x >> 16) & 0x7FFF,
// whose state starts at 1 with the engine and is never reseeded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "core/operation.h"
#include "quillfen/operations.h"
#include "quillfen/quillfen.h"

namespace qf::gen {

// Output record types a generator writes (INTEGER16 and REAL32).
constexpr int32_t kOutputInteger16 = 0;
constexpr int32_t kOutputReal32 = 2;

// Noise types, in the order of the name table ("No noise" ... "Poisson").
enum NoiseType : int32_t {
    kNoNoise = 0,
    kUniformNoise = 1,
    kNormalNoise = 2,
    kPoissonNoise = 3,  // offered by name; adds nothing
};
constexpr int32_t kNoiseTypeCount = 4;

// The generator parameters at the start of the command block's parameter
// area (byte 13008), as the public header lays them out: the host dialogs
// write them and the script reader fills them.
using GeneratorParams = QfGeneratorParams;
static_assert(kNoiseTypeCount == QF_NOISE_TYPES);
static_assert(QF_PARAM_OFFSET % alignof(GeneratorParams) == 0);

// The generator parameters of a command block.
inline GeneratorParams& generatorParams(CommandBlock& b) {
    return *reinterpret_cast<GeneratorParams*>(b.params);
}

// "No noise", "Uniform", "Normal", "Poisson"; null outside 0-3.
const char* noiseTypeName(int32_t type);
// 2010, 2015, 2020, 2030.
bool isPeriodicGenerator(int32_t code);

// The next value 0-32767 of the engine-wide random generator.
int32_t nextRandom();

// What one generation keeps between samples.  execute makes a fresh one and
// hands it to the kernel (ComputeArgs::buffer).
struct GeneratorState {
    using ValueFn = double (*)(GeneratorState& s, double x);

    const GeneratorParams* params = nullptr;
    int32_t code = 0;
    ValueFn value = nullptr;  // g(x) of the periodic kernels, g(i) of the others
    double omega0 = 0.0;      // radians per sample of the periodic kernels
    int32_t sample = 0;       // index of the sample being made
    // normal noise comes in pairs
    bool pairOpen = false;
    double pairRadius = 0.0;
    double pairAngle = 0.0;
    // swept-sine phase accumulator
    int32_t sweepK = 1;
    double sweepA = 0.0;
    double sweepB = 0.0;
    double sweepPsi = 0.0;
    // per-generation step of the sinc, ramp and exponential
    double step = 0.0;
    // the window generator's values (sampleCount doubles)
    double* window = nullptr;
};

// Sets up the state of one generation of `code` with the given parameters.
void startGeneration(GeneratorState& s, int32_t code, const GeneratorParams& p);
// The swept sine's phase accumulator, before its first sample.
void startSweep(GeneratorState& s);
// The additive noise of the next sample (0 for "No noise" and "Poisson").
double noise(GeneratorState& s);

// Value functions g.
double sineValue(GeneratorState& s, double x);
double sweptSineValue(GeneratorState& s, double x);  // ignores x
double squareValue(GeneratorState& s, double x);
double triangleValue(GeneratorState& s, double x);
double unitSampleValue(GeneratorState& s, double i);
double unitStepValue(GeneratorState& s, double i);
double windowValue(GeneratorState& s, double i);
double sincValue(GeneratorState& s, double i);
double rampValue(GeneratorState& s, double i);
double expValue(GeneratorState& s, double i);

// Handlers shared by the eleven records: the check, and the output header
// with the generation's state (handed to the kernel as args->buffer).
int32_t generatorCheckParams(int32_t mode);
int32_t generatorPrepareOutput(int32_t mode);
int32_t generatorRelease(int32_t mode);

// The three compute kernels; args->buffer is the GeneratorState of the run.
int32_t periodicCompute(int32_t mode, const ComputeArgs* args);
int32_t aperiodicCompute(int32_t mode, const ComputeArgs* args);
int32_t noiseCompute(int32_t mode, const ComputeArgs* args);

}  // namespace qf::gen
