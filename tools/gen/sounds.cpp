// Sound effects synthesized from noise, oscillators, envelopes and filters,
// written as PCM WAVs in the rate, channel count and sample size the table
// asks for (the game converts every format when it plays it).
#include "gen.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace {

const double twoPi = 6.283185307179586;

double noise() { return rand() / double(RAND_MAX) * 2 - 1; }

// Chamberlin state-variable filter: low-, band- and high-pass at once.
struct Svf {
    double low = 0, band = 0;
    double run(double in, double cutoff, double q, double rate, double* bandOut = nullptr,
               double* highOut = nullptr) {
        double f = 2 * std::sin(M_PI * std::min(cutoff, rate / 6) / rate);
        double high = in - low - band / q;
        band += f * high;
        low += f * band;
        if (bandOut) *bandOut = band;
        if (highOut) *highOut = high;
        return low;
    }
};

struct Sound {
    double rate;
    std::vector<double> l, r;  // r empty for mono
};

Sound make(double rate, double seconds, bool stereo) {
    Sound s{rate, std::vector<double>(size_t(rate * seconds)), {}};
    if (stereo) s.r.resize(s.l.size());
    return s;
}

double env(double t, double attack, double decay) {
    return t < attack ? t / attack : std::exp(-(t - attack) / decay);
}

// The cursor is stung: a click, a falling metallic zing and a small thud.
Sound hit(double rate, bool st) {
    Sound s = make(rate, 0.24, st);
    Svf hp[2];
    double ph[4] = {0, 0, 0, 0};
    for (size_t i = 0; i < s.l.size(); ++i) {
        double t = i / rate;
        double n = noise();
        double click = 0;
        hp[0].run(n, 3000, 0.7, rate, nullptr, &click);
        click *= env(t, 0.0005, 0.006);
        double f = 400 + 900 * std::exp(-t / 0.05);
        double zing[2];
        for (int c = 0; c < 2; ++c) {
            ph[c] += f * (c ? 1.06 : 1.0) / rate;
            ph[c + 2] += f * (c ? 1.49 : 1.51) / rate;
            zing[c] = (std::fmod(ph[c], 1.0) < 0.5 ? 0.5 : -0.5) * 0.6 + std::sin(twoPi * ph[c + 2]) * 0.4;
            zing[c] *= env(t, 0.001, 0.05);
        }
        double thud = std::sin(twoPi * (150 * t - 40 * t * t)) * env(t, 0.002, 0.04);
        double base = click * 0.9 + thud * 0.8;
        s.l[i] = base + zing[0] * 0.7;
        if (st) s.r[i] = base + zing[1] * 0.7;
    }
    return s;
}

// A weapon picked up: three bell notes rising (E6, G#6, B6).
Sound chime(double rate, bool st) {
    Sound s = make(rate, 0.8, st);
    const double notes[3] = {1318.5, 1661.2, 1975.5};
    const double partial[4] = {1, 2.76, 5.40, 8.93}, amp[4] = {1, 0.35, 0.15, 0.06};
    for (size_t i = 0; i < s.l.size(); ++i) {
        double t = i / rate, v = 0;
        for (int n = 0; n < 3; ++n) {
            double tn = t - n * 0.065;
            if (tn < 0) continue;
            for (int p = 0; p < 4; ++p)
                v += amp[p] * std::sin(twoPi * notes[n] * partial[p] * tn) *
                     env(tn, 0.002, 0.22 / (1 + p * 1.5)) * (n == 2 ? 1.0 : 0.7);
        }
        s.l[i] = v;
        if (st) s.r[i] = v;
    }
    return s;
}

// The flame wall: an igniting whoosh, then a crackling roar that dies down.
Sound flame(double rate, bool st) {
    double len = 2.6;
    Sound s = make(rate, len, st);
    Svf sweep, body, crackF;
    double brown = 0, lfo = 0, lfoTarget = 0, crack = 0;
    for (size_t i = 0; i < s.l.size(); ++i) {
        double t = i / rate;
        double n = noise();
        double band;
        sweep.run(n, 300 + 2600 * std::min(1.0, t / 0.35), 1.2, rate, &band);
        double whoosh = band * (t < 0.35 ? t / 0.35 : std::exp(-(t - 0.35) / 0.15));
        brown = brown * 0.985 + n * 0.15;
        if (i % 600 == 0) lfoTarget = 0.6 + 0.4 * noise();
        lfo += (lfoTarget - lfo) * 0.002;
        double roar = body.run(brown, 500 + 250 * lfo, 0.8, rate) * (0.7 + 0.5 * lfo);
        if (rand() % 900 == 0) crack = 1.0;
        double cr;
        crackF.run(noise() * crack, 2500, 1.5, rate, nullptr, &cr);
        crack *= 0.993;
        double fade = std::min(1.0, (len - t) / 0.7);
        double rise = std::min(1.0, t / 0.2);
        double v = whoosh * 0.9 + (roar * 1.6 + cr * 0.35) * rise * fade;
        s.l[i] = v;
        if (st) s.r[i] = v;
    }
    return s;
}

// A blast: a crack, a noise body whose brightness falls, and a sub thump.
Sound explosion(double rate, bool st) {
    Sound s = make(rate, 0.9, st);
    Svf lp, lp2;
    double ph = 0;
    for (size_t i = 0; i < s.l.size(); ++i) {
        double t = i / rate;
        double n = noise();
        double cut = 150 + 2600 * std::exp(-t / 0.07);
        double body = lp2.run(lp.run(n, cut, 0.9, rate), cut, 0.7, rate) * env(t, 0.003, 0.22);
        double crack = n * env(t, 0.0005, 0.012);
        ph += (35 + 45 * std::exp(-t / 0.08)) / rate;
        double thump = std::sin(twoPi * ph) * env(t, 0.004, 0.18);
        double v = std::tanh((body * 3.0 + crack * 0.6 + thump * 1.1) * 1.4);
        s.l[i] = v;
        if (st) s.r[i] = v;
    }
    return s;
}

// A meteor: a falling band of noise that passes from right to left.
Sound whoosh(double rate, bool st) {
    double len = 1.3;
    Sound s = make(rate, len, st);
    Svf bp, rumble;
    for (size_t i = 0; i < s.l.size(); ++i) {
        double t = i / rate, u = t / len;
        double n = noise();
        double band;
        bp.run(n, 3200 * std::pow(0.13, u), 2.0, rate, &band);
        double shape = std::sin(M_PI * std::pow(u, 0.6));
        double low = rumble.run(n, 180, 0.8, rate);
        double crackle = (rand() % 300 == 0) ? noise() * 0.8 : 0;
        double v = (band * 1.4 + low * 1.2) * shape * shape + crackle * shape;
        double pan = 0.2 + 0.65 * u;  // 0 right, 1 left
        s.l[i] = v * std::sqrt(pan) * 1.2;
        if (st) s.r[i] = v * std::sqrt(1 - pan) * 1.2;
        else s.l[i] = v;
    }
    return s;
}

// A beaten fly: a buzz that sputters and sinks.
Sound buzz(double rate, bool st) {
    double len = 0.9;
    Sound s = make(rate, len, st);
    Svf bp, lp;
    double ph = 0;
    for (size_t i = 0; i < s.l.size(); ++i) {
        double t = i / rate, u = t / len;
        double f = (235 - 140 * u * u) * (1 + 0.03 * std::sin(twoPi * 17 * t));
        ph += f / rate;
        double saw = 2 * std::fmod(ph, 1.0) - 1;
        double band;
        bp.run(saw, 1100 - 500 * u, 1.5, rate, &band);
        double tone = lp.run(saw, 2500, 0.7, rate) * 0.6 + band * 0.8;
        double wings = 0.75 + 0.25 * std::sin(twoPi * 38 * t);
        double sputter = u < 0.55 ? 1.0 : (std::sin(twoPi * (9 + 14 * u) * t) > -0.2 ? 1.0 : 0.25);
        double v = tone * wings * sputter * env(t, 0.01, 10) * std::min(1.0, (len - t) / 0.25);
        s.l[i] = v;
        if (st) s.r[i] = v;
    }
    return s;
}

// The falling block bouncing off a fly: a springy, wobbling tone.
Sound boing(double rate, bool st) {
    Sound s = make(rate, 0.7, st);
    double ph = 0;
    for (size_t i = 0; i < s.l.size(); ++i) {
        double t = i / rate;
        double f = 150 + 300 * std::exp(-t / 0.03) + 28 * std::sin(twoPi * 11 * t) * std::exp(-t / 0.35);
        ph += f / rate;
        double v = (std::sin(twoPi * ph) + 0.3 * std::sin(2 * twoPi * ph) + 0.12 * std::sin(3 * twoPi * ph)) *
                   env(t, 0.003, 0.22);
        s.l[i] = v;
        if (st) s.r[i] = v;
    }
    return s;
}

void put(std::string& b, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b += char((v >> (8 * i)) & 255);
}

}  // namespace

void writeSound(const std::string& dir, const SoundSpec& def) {
    srand(7);  // every sound starts from the same noise: builds repeat exactly
    bool st = def.channels == 2;
    double rate = def.rate;
    Sound s;
    if (def.maker == "hit") s = hit(rate, st);
    else if (def.maker == "chime") s = chime(rate, st);
    else if (def.maker == "flame") s = flame(rate, st);
    else if (def.maker == "explosion") s = explosion(rate, st);
    else if (def.maker == "whoosh") s = whoosh(rate, st);
    else if (def.maker == "buzz") s = buzz(rate, st);
    else if (def.maker == "boing") s = boing(rate, st);
    else {
        std::fprintf(stderr, "bzkgen: unknown sound maker %s\n", def.maker.c_str());
        std::exit(1);
    }
    // Normalise to a common loudness ceiling so the mix stays balanced.
    double peak = 1e-9;
    for (double v : s.l) peak = std::max(peak, std::fabs(v));
    for (double v : s.r) peak = std::max(peak, std::fabs(v));
    double gain = 0.85 / peak;
    size_t n = s.l.size();
    int bytesPer = def.bits / 8;
    uint32_t dataLen = uint32_t(n * def.channels * bytesPer);
    std::string w = "RIFF";
    put(w, 36 + dataLen, 4);
    w += "WAVEfmt ";
    put(w, 16, 4);
    put(w, 1, 2);  // PCM
    put(w, def.channels, 2);
    put(w, def.rate, 4);
    put(w, def.rate * def.channels * bytesPer, 4);
    put(w, def.channels * bytesPer, 2);
    put(w, def.bits, 2);
    w += "data";
    put(w, dataLen, 4);
    for (size_t i = 0; i < n; ++i)
        for (int c = 0; c < def.channels; ++c) {
            double v = std::clamp((c ? s.r[i] : s.l[i]) * gain, -1.0, 1.0);
            if (def.bits == 16) put(w, uint32_t(int32_t(std::lround(v * 32767)) & 0xffff), 2);
            else put(w, uint32_t(std::lround(128 + v * 127)), 1);  // 8-bit WAV is unsigned
        }
    std::string path = dir + "/" + def.name;
    std::ofstream out(path, std::ios::binary);
    out.write(w.data(), std::streamsize(w.size()));
    if (!out) {
        std::fprintf(stderr, "bzkgen: cannot write %s\n", path.c_str());
        std::exit(1);
    }
}
