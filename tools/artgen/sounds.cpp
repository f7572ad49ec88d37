// sounds.cpp - synthesised sound effects for Wingzap.
//
// Every sound is mixed from three primitives into a buffer of doubles:
//   - Burst:    filtered noise with an envelope (gun blast, wing flaps,
//               feathers, the consonants of the chicken's voice)
//   - Sweep:    a decaying sine glide (the boom, the ricochet whine)
//   - Syllable: a tiny formant voice (saw source with pitch contour,
//               vibrato and roughness, through three band-pass formants)
// The mix is then faded at the edges, normalised to -1 dBFS and written
// as a canonical 44-byte-header RIFF WAVE file.
//
// All randomness comes from a fixed-seed xorshift generator so that the
// generated files are byte-identical from run to run.

#include "sounds.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

const int kRate = 22050;
const double kPi = 3.14159265358979323846;
const double kTwoPi = 2.0 * kPi;

// Sample-data sizes (bytes) the game expects for each sound.
const int kShotBytes = 54716;
const int kSpareBytes = 46594;
const int kLaunchBytes = 60152;
const int kHitBytes = 54716;

typedef std::vector<double> Buffer;

double Clamp(double x, double lo, double hi) {
    return x < lo ? lo : (x > hi ? hi : x);
}

// 0..1 ease curve; used for every ramp so nothing starts or stops abruptly.
double Smooth(double x) {
    x = Clamp(x, 0.0, 1.0);
    return x * x * (3.0 - 2.0 * x);
}

// Exponential glide between two frequencies: pitch moves evenly in
// musical terms, which is how both whines and voices are heard.
double Glide(double from, double to, double u) {
    return from * std::pow(to / from, Clamp(u, 0.0, 1.0));
}

int ToIndex(double seconds) {
    return static_cast<int>(std::lround(seconds * kRate));
}

// ---------------------------------------------------------------------------
// Deterministic noise

// xorshift32: tiny, seedable, and the same sequence on every platform.
struct Rng {
    uint32_t state;
};

// Uniform in [-1, 1).
double Noise(Rng& rng) {
    uint32_t x = rng.state;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    rng.state = x;
    return static_cast<double>(x >> 8) * (2.0 / 16777216.0) - 1.0;
}

// Uniform in [lo, hi).
double Between(Rng& rng, double lo, double hi) {
    return lo + (hi - lo) * 0.5 * (Noise(rng) + 1.0);
}

// Slowly wandering noise of roughly unit spread; drives pitch jitter so a
// voice never sounds like a steady synth tone.
struct Wander {
    double state = 0.0;
};

double WanderTick(Wander& w, Rng& rng, double cutoffHz) {
    double c = 1.0 - std::exp(-kTwoPi * cutoffHz / kRate);
    w.state += c * (Noise(rng) - w.state);
    // A one-pole lowpass shrinks uniform noise (sd 0.577) by sqrt(c/(2-c)).
    return w.state / (0.577 * std::sqrt(c / (2.0 - c)));
}

// ---------------------------------------------------------------------------
// Filters

// Trapezoidal state-variable filter. Unlike a plain biquad it stays stable
// and click-free when its cutoff is changed on every sample, which the
// voice formants and the closing blast filter both do.
struct Svf {
    double ic1 = 0.0;
    double ic2 = 0.0;
};

enum FilterMode { kLowPass, kBandPass, kHighPass };

double SvfTick(Svf& f, double x, double hz, double q, FilterMode mode) {
    hz = Clamp(hz, 20.0, 0.45 * kRate);  // tan() blows up near Nyquist
    double g = std::tan(kPi * hz / kRate);
    double k = 1.0 / q;
    double a1 = 1.0 / (1.0 + g * (g + k));
    double a2 = g * a1;
    double a3 = g * a2;
    double v3 = x - f.ic2;
    double v1 = a1 * f.ic1 + a2 * v3;
    double v2 = f.ic2 + a2 * f.ic1 + a3 * v3;
    f.ic1 = 2.0 * v1 - f.ic1;
    f.ic2 = 2.0 * v2 - f.ic2;
    switch (mode) {
        case kLowPass: return v2;
        case kBandPass: return k * v1;  // scaled to unity gain at the centre
        case kHighPass: return x - k * v1 - v2;
    }
    return 0.0;
}

// Attack ramp, optional exponential decay, and a release ramp into the end
// so that a sound cut at `dur` still ends at zero.
double Envelope(double t, double dur, double attack, double decay,
                double release) {
    double a = attack > 0.0 ? Smooth(t / attack) : 1.0;
    double d = decay > 0.0 ? std::exp(-t / decay) : 1.0;
    double r = release > 0.0 ? Smooth((dur - t) / release) : 1.0;
    return a * d * r;
}

// ---------------------------------------------------------------------------
// Primitive: filtered noise burst

struct Burst {
    double start = 0.0, dur = 0.05;  // seconds
    FilterMode mode = kBandPass;
    double hzFrom = 1000.0, hzTo = 1000.0;  // cutoff/centre, glides over dur
    double q = 1.0;
    double attack = 0.002, decay = 0.0;  // decay: exp time constant, 0 = held
    double gain = 1.0;
};

void AddBurst(Buffer& buf, const Burst& b, Rng& rng) {
    Svf f;
    int first = ToIndex(b.start);
    int count = ToIndex(b.dur);
    double release = std::fmin(0.01, b.dur * 0.25);
    for (int i = 0; i < count; ++i) {
        double t = static_cast<double>(i) / kRate;
        double hz = Glide(b.hzFrom, b.hzTo, t / b.dur);
        double y = SvfTick(f, Noise(rng), hz, b.q, b.mode);
        int at = first + i;
        if (at >= 0 && at < static_cast<int>(buf.size()))
            buf[at] += b.gain * Envelope(t, b.dur, b.attack, b.decay, release) * y;
    }
}

// ---------------------------------------------------------------------------
// Primitive: decaying sine glide

struct Sweep {
    double start = 0.0, dur = 0.2;
    double hzFrom = 100.0, hzTo = 100.0;
    double attack = 0.001, decay = 0.0, release = 0.02;
    double vibratoHz = 0.0, vibratoDepth = 0.0;  // depth as a fraction of hz
    double second = 0.0;  // level of the 2nd harmonic, adds some edge
    double gain = 1.0;
};

void AddSweep(Buffer& buf, const Sweep& s) {
    int first = ToIndex(s.start);
    int count = ToIndex(s.dur);
    double phase = 0.0;  // integrated, so the glide itself never clicks
    for (int i = 0; i < count; ++i) {
        double t = static_cast<double>(i) / kRate;
        double hz = Glide(s.hzFrom, s.hzTo, t / s.dur);
        hz *= 1.0 + s.vibratoDepth * std::sin(kTwoPi * s.vibratoHz * t);
        phase = std::fmod(phase + hz / kRate, 1.0);
        double y = std::sin(kTwoPi * phase) + s.second * std::sin(2.0 * kTwoPi * phase);
        int at = first + i;
        if (at >= 0 && at < static_cast<int>(buf.size()))
            buf[at] += s.gain * Envelope(t, s.dur, s.attack, s.decay, s.release) * y;
    }
}

// ---------------------------------------------------------------------------
// Primitive: chicken voice

struct Formants {
    double f1, f2, f3;
};

// Vowel targets, scaled up from human values: a hen's vocal tract is short
// but listeners read the vowel from these ratios.
const Formants kVowelUh = {600.0, 1100.0, 2600.0};   // "buk"
const Formants kVowelOo = {450.0, 900.0, 2400.0};    // lips closing on "k"
const Formants kVowelAa = {1000.0, 1550.0, 2950.0};  // "KAAA", "SKRAA"
const Formants kVowelAw = {720.0, 1080.0, 2650.0};   // "...AWK"

struct Syllable {
    double start = 0.0, dur = 0.1;
    // Pitch contour: f0Start -> f0Peak at peakAt (fraction of dur) -> f0End.
    double f0Start = 300.0, f0Peak = 300.0, f0End = 300.0, peakAt = 0.3;
    double attack = 0.005, decay = 0.0, release = 0.02;
    Formants from = kVowelUh, to = kVowelUh;
    double morphAt = 0.5;  // fraction of dur where from -> to begins
    double vibratoHz = 6.0, vibratoDepth = 0.0;
    double jitter = 0.01;  // random pitch wander, fraction of f0
    double rough = 0.0;    // period-doubling (f0/2 AM): the hoarse rasp
    double growl = 0.0;    // fast flutter at the onset: the rolled "R"
    double breath = 0.05;  // noise mixed into the source
    double gain = 1.0;
};

// Band-limited sawtooth correction: a naive saw at chicken pitches
// aliases badly at 22 kHz.
double PolyBlep(double t, double dt) {
    if (t < dt) {
        t /= dt;
        return t + t - t * t - 1.0;
    }
    if (t > 1.0 - dt) {
        t = (t - 1.0) / dt;
        return t * t + t + t + 1.0;
    }
    return 0.0;
}

double PitchAt(const Syllable& s, double u) {
    if (u < s.peakAt)
        return Glide(s.f0Start, s.f0Peak, Smooth(u / s.peakAt));
    return Glide(s.f0Peak, s.f0End, Smooth((u - s.peakAt) / (1.0 - s.peakAt)));
}

Formants FormantsAt(const Syllable& s, double u) {
    double m = Smooth((u - s.morphAt) / (1.0 - s.morphAt));
    Formants f;
    f.f1 = s.from.f1 + (s.to.f1 - s.from.f1) * m;
    f.f2 = s.from.f2 + (s.to.f2 - s.from.f2) * m;
    f.f3 = s.from.f3 + (s.to.f3 - s.from.f3) * m;
    return f;
}

void AddSyllable(Buffer& buf, const Syllable& s, Rng& rng) {
    Svf band1, band2, band3;
    Wander wander;
    double phase = 0.0, subPhase = 0.0;
    int first = ToIndex(s.start);
    int count = ToIndex(s.dur);
    for (int i = 0; i < count; ++i) {
        double t = static_cast<double>(i) / kRate;
        double u = t / s.dur;

        double f0 = PitchAt(s, u);
        f0 *= 1.0 + s.vibratoDepth * std::sin(kTwoPi * s.vibratoHz * t);
        f0 *= 1.0 + s.jitter * WanderTick(wander, rng, 30.0);
        double dt = f0 / kRate;
        phase += dt;
        if (phase >= 1.0) phase -= 1.0;
        subPhase = std::fmod(subPhase + 0.5 * dt, 1.0);

        double src = 2.0 * phase - 1.0 - PolyBlep(phase, dt);
        src *= 1.0 - s.rough * 0.5 * (1.0 + std::cos(kTwoPi * subPhase));
        src = (1.0 - s.breath) * src + s.breath * 1.5 * Noise(rng);

        Formants f = FormantsAt(s, u);
        double y = 1.0 * SvfTick(band1, src, f.f1, 4.0, kBandPass) +
                   0.6 * SvfTick(band2, src, f.f2, 6.0, kBandPass) +
                   0.3 * SvfTick(band3, src, f.f3, 8.0, kBandPass);

        double flutter = 1.0 - s.growl * std::exp(-t / 0.08) * 0.5 *
                                   (1.0 + std::sin(kTwoPi * 38.0 * t));
        double env = Envelope(t, s.dur, s.attack, s.decay, s.release);
        int at = first + i;
        if (at >= 0 && at < static_cast<int>(buf.size()))
            buf[at] += s.gain * env * flutter * y;
    }
}

// ---------------------------------------------------------------------------
// Composite gestures

// A plosive: a very short band of noise, e.g. the "k" of "buk".
void AddPlosive(Buffer& buf, double start, double hz, double gain, Rng& rng) {
    Burst b;
    b.start = start;
    b.dur = 0.018;
    b.hzFrom = b.hzTo = hz;
    b.q = 2.0;
    b.attack = 0.001;
    b.decay = 0.005;
    b.gain = gain;
    AddBurst(buf, b, rng);
}

// One "buk": a voiced burst that dies fast while the beak closes, opened
// by a soft low "b" and shut by a small "k" click.
void AddBuk(Buffer& buf, double start, double f0, double gain, Rng& rng) {
    AddPlosive(buf, start - 0.004, 350.0, 0.5 * gain, rng);
    Syllable s;
    s.start = start;
    s.dur = 0.09;
    s.f0Start = f0;
    s.f0Peak = f0 * 1.12;
    s.f0End = f0 * 0.85;
    s.peakAt = 0.2;
    s.attack = 0.004;
    s.decay = 0.035;
    s.release = 0.015;
    s.from = kVowelUh;
    s.to = kVowelOo;
    s.morphAt = 0.3;
    s.jitter = 0.015;
    s.rough = 0.15;
    s.gain = gain;
    AddSyllable(buf, s, rng);
    AddPlosive(buf, start + 0.075, 2300.0, 0.35 * gain, rng);
}

// One wing beat: a low thump of pushed air plus a brighter whoosh.
void AddFlap(Buffer& buf, double start, double gain, Rng& rng) {
    Burst thump;
    thump.start = start;
    thump.dur = 0.06;
    thump.hzFrom = 380.0;
    thump.hzTo = 160.0;
    thump.q = 1.2;
    thump.attack = 0.004;
    thump.decay = 0.018;
    thump.gain = 1.6 * gain;
    AddBurst(buf, thump, rng);

    Burst whoosh;
    whoosh.start = start;
    whoosh.dur = 0.07;
    whoosh.hzFrom = 900.0;
    whoosh.hzTo = 2200.0;
    whoosh.q = 0.8;
    whoosh.attack = 0.015;
    whoosh.decay = 0.025;
    whoosh.gain = 0.7 * gain;
    AddBurst(buf, whoosh, rng);
}

// Copies of the dry sound, delayed and dulled: a gun shot outdoors is
// mostly what comes back off hills and buildings.
void AddEchoes(Buffer& buf) {
    const double delays[] = {0.105, 0.230, 0.370};
    const double gains[] = {0.32, 0.18, 0.09};
    const double dull[] = {2200.0, 1400.0, 900.0};
    Buffer dry = buf;
    for (int e = 0; e < 3; ++e) {
        Svf f;
        int lag = ToIndex(delays[e]);
        for (size_t i = static_cast<size_t>(lag); i < buf.size(); ++i)
            buf[i] += gains[e] * SvfTick(f, dry[i - lag], dull[e], 0.7, kLowPass);
    }
}

// ---------------------------------------------------------------------------
// Finishing and output

// Short fades at both ends: any sound that does not start and end at zero
// clicks when the mixer starts or stops it.
void FadeEdges(Buffer& buf, double inSeconds, double outSeconds) {
    int n = static_cast<int>(buf.size());
    int in = ToIndex(inSeconds);
    int out = ToIndex(outSeconds);
    for (int i = 0; i < in && i < n; ++i)
        buf[i] *= Smooth(static_cast<double>(i) / in);
    for (int i = 0; i < out && i < n; ++i)
        buf[n - 1 - i] *= Smooth(static_cast<double>(i) / out);
}

// tanh saturation, peak-preserving: lifts the body of a sound against its
// first transient, the way a recording of a real bang is compressed.
void SoftClip(Buffer& buf, double drive) {
    double peak = 0.0;
    for (double v : buf) peak = std::fmax(peak, std::fabs(v));
    if (peak <= 0.0) return;
    for (double& v : buf) v = std::tanh(drive * v / peak) / std::tanh(drive);
}

// Scale so the loudest sample sits at `dbfs`; leaves headroom so the
// 16-bit rounding can never wrap.
void Normalise(Buffer& buf, double dbfs) {
    double peak = 0.0;
    for (double v : buf) peak = std::fmax(peak, std::fabs(v));
    if (peak <= 0.0) return;
    double scale = std::pow(10.0, dbfs / 20.0) / peak;
    for (double& v : buf) v *= scale;
}

void PutU16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v & 0xFF));
    out.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
}

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
    PutU16(out, v & 0xFFFF);
    PutU16(out, v >> 16);
}

void PutTag(std::vector<uint8_t>& out, const char* tag) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(tag[i]));
}

// The canonical layout: RIFF header, one 16-byte "fmt " chunk, one "data"
// chunk. Written byte by byte so the little-endian format does not depend
// on the host.
std::vector<uint8_t> EncodeWav(const Buffer& samples) {
    const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
    std::vector<uint8_t> out;
    out.reserve(44 + dataBytes);
    PutTag(out, "RIFF");
    PutU32(out, 36 + dataBytes);
    PutTag(out, "WAVE");
    PutTag(out, "fmt ");
    PutU32(out, 16);         // chunk size
    PutU16(out, 1);          // PCM
    PutU16(out, 1);          // mono
    PutU32(out, kRate);      // samples per second
    PutU32(out, kRate * 2);  // bytes per second
    PutU16(out, 2);          // block align
    PutU16(out, 16);         // bits per sample
    PutTag(out, "data");
    PutU32(out, dataBytes);
    for (double v : samples) {
        long s = std::lround(v * 32767.0);
        s = s < -32768 ? -32768 : (s > 32767 ? 32767 : s);
        PutU16(out, static_cast<uint32_t>(static_cast<uint16_t>(static_cast<int16_t>(s))));
    }
    return out;
}

// Forward slash works for both POSIX and the Win32 file API.
std::string JoinPath(const std::string& dir, const char* name) {
    if (dir.empty()) return name;
    char last = dir[dir.size() - 1];
    if (last == '/' || last == '\\') return dir + name;
    return dir + "/" + name;
}

bool WriteWav(const std::string& dir, const char* name, const Buffer& samples) {
    std::string path = JoinPath(dir, name);
    std::vector<uint8_t> bytes = EncodeWav(samples);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::fprintf(stderr, "artgen: cannot create %s\n", path.c_str());
        return false;
    }
    size_t written = std::fwrite(bytes.data(), 1, bytes.size(), f);
    bool ok = written == bytes.size();
    ok = std::fclose(f) == 0 && ok;  // fclose flushes; a full disk shows here
    if (!ok) std::fprintf(stderr, "artgen: failed writing %s\n", path.c_str());
    return ok;
}

Buffer Finish(Buffer buf) {
    FadeEdges(buf, 0.0005, 0.03);
    Normalise(buf, -1.0);
    return buf;
}

// ---------------------------------------------------------------------------
// The four sounds

// A missed shot: a hard crack, a blast of noise whose filter closes as it
// dies, a low boom, echoes, then a ricochet whining away.
Buffer MakeShot() {
    Buffer buf(kShotBytes / 2, 0.0);
    Rng rng = {0x5EED0246u};

    Burst crack;
    crack.start = 0.0;
    crack.dur = 0.008;
    crack.mode = kHighPass;
    crack.hzFrom = crack.hzTo = 1200.0;
    crack.q = 0.7;
    crack.attack = 0.0003;
    crack.decay = 0.0025;
    crack.gain = 1.2;
    AddBurst(buf, crack, rng);

    Burst blast;
    blast.start = 0.0;
    blast.dur = 0.40;
    blast.mode = kLowPass;
    blast.hzFrom = 7000.0;
    blast.hzTo = 250.0;
    blast.q = 0.8;
    blast.attack = 0.0005;
    blast.decay = 0.05;
    blast.gain = 1.8;
    AddBurst(buf, blast, rng);

    Burst rumble;
    rumble.start = 0.0;
    rumble.dur = 0.95;
    rumble.mode = kLowPass;
    rumble.hzFrom = 700.0;
    rumble.hzTo = 120.0;
    rumble.q = 0.7;
    rumble.attack = 0.004;
    rumble.decay = 0.22;
    rumble.gain = 0.45;
    AddBurst(buf, rumble, rng);

    Sweep boom;
    boom.start = 0.0;
    boom.dur = 0.30;
    boom.hzFrom = 120.0;
    boom.hzTo = 42.0;
    boom.attack = 0.001;
    boom.decay = 0.07;
    boom.gain = 0.8;
    AddSweep(buf, boom);

    AddEchoes(buf);

    // The whine falls in pitch as the bullet tumbles away; a faint band
    // of noise around it keeps it from sounding like a pure beep.
    Sweep whine;
    whine.start = 0.09;
    whine.dur = 0.80;
    whine.hzFrom = 3900.0;
    whine.hzTo = 1100.0;
    whine.attack = 0.012;
    whine.decay = 0.32;
    whine.release = 0.2;
    whine.vibratoHz = 23.0;
    whine.vibratoDepth = 0.012;
    whine.second = 0.25;
    whine.gain = 0.22;
    AddSweep(buf, whine);

    Burst hiss;
    hiss.start = 0.09;
    hiss.dur = 0.55;
    hiss.hzFrom = 3600.0;
    hiss.hzTo = 1200.0;
    hiss.q = 5.0;
    hiss.attack = 0.01;
    hiss.decay = 0.2;
    hiss.gain = 0.12;
    AddBurst(buf, hiss, rng);

    SoftClip(buf, 2.5);
    return Finish(buf);
}

// The spare sound: a contented "buk ... buk-buk ... b'gawk".
Buffer MakeSpare() {
    Buffer buf(kSpareBytes / 2, 0.0);
    Rng rng = {0x5EED0247u};

    AddBuk(buf, 0.05, 320.0, 1.0, rng);
    AddBuk(buf, 0.30, 335.0, 0.9, rng);
    AddBuk(buf, 0.42, 350.0, 0.9, rng);
    AddBuk(buf, 0.66, 340.0, 0.8, rng);

    Syllable gawk;
    gawk.start = 0.73;
    gawk.dur = 0.20;
    gawk.f0Start = 400.0;
    gawk.f0Peak = 520.0;
    gawk.f0End = 380.0;
    gawk.peakAt = 0.3;
    gawk.attack = 0.01;
    gawk.release = 0.04;
    gawk.from = kVowelAa;
    gawk.to = kVowelAw;
    gawk.morphAt = 0.4;
    gawk.vibratoDepth = 0.015;
    gawk.rough = 0.2;
    gawk.breath = 0.1;
    gawk.gain = 0.9;
    AddPlosive(buf, 0.72, 2600.0, 0.4, rng);
    AddSyllable(buf, gawk, rng);
    AddPlosive(buf, 0.925, 2300.0, 0.3, rng);

    return Finish(buf);
}

// The launch: "buk-buk-bu-KAAAWK!" over wings beating hard as the bird
// takes off, the beats fading as it flies away.
Buffer MakeLaunch() {
    Buffer buf(kLaunchBytes / 2, 0.0);
    Rng rng = {0x5EED0248u};

    for (double t = 0.02; t < 1.26; t += 0.105) {
        double swell = Smooth(t / 0.25) * (1.0 - 0.75 * Smooth((t - 0.8) / 0.45));
        AddFlap(buf, t + Between(rng, -0.008, 0.008), 0.45 + 1.0 * swell, rng);
    }

    AddBuk(buf, 0.05, 330.0, 1.7, rng);
    AddBuk(buf, 0.20, 345.0, 1.7, rng);
    AddBuk(buf, 0.33, 365.0, 1.5, rng);

    Syllable kaawk;
    kaawk.start = 0.43;
    kaawk.dur = 0.62;
    kaawk.f0Start = 470.0;
    kaawk.f0Peak = 820.0;
    kaawk.f0End = 580.0;
    kaawk.peakAt = 0.25;
    kaawk.attack = 0.02;
    kaawk.release = 0.06;
    kaawk.from = kVowelAa;
    kaawk.to = kVowelAw;
    kaawk.morphAt = 0.65;
    kaawk.vibratoHz = 7.0;
    kaawk.vibratoDepth = 0.025;
    kaawk.jitter = 0.015;
    kaawk.rough = 0.25;
    kaawk.breath = 0.15;
    kaawk.gain = 1.6;
    AddPlosive(buf, 0.415, 2800.0, 0.8, rng);
    AddSyllable(buf, kaawk, rng);
    AddPlosive(buf, 1.045, 2300.0, 0.5, rng);

    return Finish(buf);
}

// The hit: a thump, then a hoarse, wavering "SKRAAWK-awk!" and a few
// feathers fluttering down.
Buffer MakeHit() {
    Buffer buf(kHitBytes / 2, 0.0);
    Rng rng = {0x5EED0249u};

    Sweep thud;
    thud.start = 0.0;
    thud.dur = 0.16;
    thud.hzFrom = 95.0;
    thud.hzTo = 45.0;
    thud.attack = 0.002;
    thud.decay = 0.04;
    thud.gain = 0.9;
    AddSweep(buf, thud);

    Burst smack;
    smack.start = 0.0;
    smack.dur = 0.08;
    smack.mode = kLowPass;
    smack.hzFrom = 1500.0;
    smack.hzTo = 200.0;
    smack.q = 0.8;
    smack.attack = 0.0008;
    smack.decay = 0.018;
    smack.gain = 1.2;
    AddBurst(buf, smack, rng);

    // "S": a short hiss before the voice breaks in.
    Burst hiss;
    hiss.start = 0.025;
    hiss.dur = 0.06;
    hiss.hzFrom = hiss.hzTo = 5500.0;
    hiss.q = 1.2;
    hiss.attack = 0.012;
    hiss.decay = 0.05;
    hiss.gain = 0.35;
    AddBurst(buf, hiss, rng);
    AddPlosive(buf, 0.078, 2600.0, 0.7, rng);

    Syllable skraawk;
    skraawk.start = 0.088;
    skraawk.dur = 0.48;
    skraawk.f0Start = 700.0;
    skraawk.f0Peak = 1050.0;
    skraawk.f0End = 620.0;
    skraawk.peakAt = 0.2;
    skraawk.attack = 0.012;
    skraawk.release = 0.05;
    skraawk.from = kVowelAa;
    skraawk.to = kVowelAw;
    skraawk.morphAt = 0.6;
    skraawk.vibratoHz = 11.0;  // a fast, panicky tremble
    skraawk.vibratoDepth = 0.04;
    skraawk.jitter = 0.03;
    skraawk.rough = 0.6;
    skraawk.growl = 0.8;
    skraawk.breath = 0.35;
    skraawk.gain = 1.8;
    AddSyllable(buf, skraawk, rng);

    Syllable awk;
    awk.start = 0.64;
    awk.dur = 0.20;
    awk.f0Start = 850.0;
    awk.f0Peak = 950.0;
    awk.f0End = 600.0;
    awk.peakAt = 0.25;
    awk.attack = 0.01;
    awk.release = 0.04;
    awk.from = kVowelAa;
    awk.to = kVowelAw;
    awk.morphAt = 0.4;
    awk.vibratoHz = 11.0;
    awk.vibratoDepth = 0.03;
    awk.jitter = 0.03;
    awk.rough = 0.5;
    awk.breath = 0.3;
    awk.gain = 1.3;
    AddPlosive(buf, 0.63, 2600.0, 0.5, rng);
    AddSyllable(buf, awk, rng);
    AddPlosive(buf, 0.835, 2300.0, 0.35, rng);

    // A last feeble flutter of the wings, and feathers: tiny bright
    // rustles that thin out as they drift down.
    AddFlap(buf, 0.87, 0.9, rng);
    AddFlap(buf, 0.96, 0.6, rng);
    AddFlap(buf, 1.04, 0.35, rng);
    for (int i = 0; i < 14; ++i) {
        Burst feather;
        feather.start = 0.55 + i * 0.038 + Between(rng, 0.0, 0.02);
        feather.dur = 0.035;
        feather.hzFrom = Between(rng, 3000.0, 5500.0);
        feather.hzTo = feather.hzFrom * 0.8;
        feather.q = 1.5;
        feather.attack = 0.004;
        feather.decay = 0.012;
        feather.gain = 0.35 * (1.0 - i / 16.0);
        AddBurst(buf, feather, rng);
    }

    return Finish(buf);
}

}  // namespace

bool WriteSounds(const std::string& outDir) {
    // Every file is attempted even if an earlier one failed, so one run
    // reports all the problems.
    bool ok = true;
    ok = WriteWav(outDir, "shot.wav", MakeShot()) && ok;
    ok = WriteWav(outDir, "spare.wav", MakeSpare()) && ok;
    ok = WriteWav(outDir, "launch.wav", MakeLaunch()) && ok;
    ok = WriteWav(outDir, "hit.wav", MakeHit()) && ok;
    return ok;
}
