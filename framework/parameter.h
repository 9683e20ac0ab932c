#pragma once
// Parameter objects: each keeps the host's normalized view (a float in 0..1
// that the host automates and stores) and the plain value the engine uses, and
// knows how to turn one into the other and how to print the plain value.
//
// The objects never notify anyone; setNormalized answers whether the plain
// value moved and the caller decides whom to tell (see ParameterSet).
//
// Threading: both values live in atomic cells, so any thread may write and
// read them at once without a data race; nothing locks or allocates, except
// getDisplay of the real-valued types, which formats through a string stream
// and is for the host's and the editor's display only, never the audio path.
// Two threads writing the same parameter at once each leave a valid value;
// which one wins is theirs to decide.
//
// Safety: a write whose value is not finite (NaN, infinity), or whose plain
// value would come out non-finite, is refused: the object keeps its previous
// state and the call answers false. So the normalized and the plain value stay
// finite whatever a caller passes. Integer and enumerated values always stay
// inside min..max, also for normalized values outside 0..1.

#include <atomic>
#include <cstddef>

namespace zem {

// Room for a parameter's name: our names are at most 18 characters; longer
// texts are cut, never overflow.
constexpr std::size_t kParameterNameCapacity = 32;
// Room for a unit label: ours are at most 2 characters ("st", "dB"); 8 bytes
// matches the label buffer VST hosts hand out.
constexpr std::size_t kParameterLabelCapacity = 8;
// getDisplay writes at most this many characters plus a terminating zero:
// VST hosts size their display buffers for 8 characters + terminator.
constexpr std::size_t kParameterDisplayLength = 8;

class Parameter {
public:
    // Parameter name shown by the host; owned, zero-terminated, fixed after construction.
    char name[kParameterNameCapacity];
    // Unit label shown by the host, may be empty; owned, zero-terminated, fixed after construction.
    char label[kParameterLabelCapacity];

    // Any thread. The host-facing value, exactly as last accepted.
    float normalized() const noexcept { return normalized_.load(std::memory_order_acquire); }

    // Any thread. Stores x and derives the plain value; answers whether the
    // plain value changed. Never allocates. A non-finite x is refused (false).
    virtual bool setNormalized(float x) noexcept;
    // Any thread but the audio thread. Writes the plain value as text into
    // text[0..8]: at most kParameterDisplayLength characters and a
    // terminating zero. A null text is ignored.
    virtual void getDisplay(char* text) const noexcept = 0;
    // Any thread; never allocates. Reads a value as the display shows it, with
    // or without the unit label after it ("1200 Hz", "1200", "Saw", "On",
    // "-oo"); numbers may carry any number of decimals, words are matched
    // regardless of case, surrounding spaces are ignored. Answers true and
    // sets `normalized` to the value's normalized counterpart (0..1), or
    // false, leaving it alone, for a null or malformed text and for a value
    // the parameter cannot show (outside its range, a gain below where it
    // reads "-oo"). For patch tables and hosts that let a user type a value.
    virtual bool textToNormalized(const char* text, float& normalized) const noexcept = 0;

    Parameter(const Parameter&) = delete;
    Parameter& operator=(const Parameter&) = delete;

protected:
    Parameter(const char* name, const char* label) noexcept;
    // Parameters live as members of a plug-in and are never deleted through a
    // base pointer; the protected destructor makes such a delete a compile
    // error instead of undefined behaviour.
    ~Parameter() = default;

    // Publishes a new normalized value. Derived classes store the plain value
    // first, so a thread that sees the new normalized value sees its plain one.
    void storeNormalized(float x) noexcept { normalized_.store(x, std::memory_order_release); }

private:
    std::atomic<float> normalized_{0.0f};
};

// Integer plain value in min..max; normalized x maps to
// min + truncate(float(max - min) * x + 0.5), i.e. the nearest integer with
// halves going up, computed in single precision. x = 0 gives min, x = 1 max.
class ParameterInt : public Parameter {
public:
    int min; // lowest plain value (normalized 0); fixed after construction
    int max; // highest plain value (normalized 1); fixed after construction

    // A default outside min..max is brought inside; max below min is raised
    // to min (a one-valued parameter).
    ParameterInt(const char* name, const char* label, int min, int max, int def) noexcept;

    // Any thread. The plain value, min..max.
    int value() const noexcept { return value_.load(std::memory_order_relaxed); }
    // The normalized value that stands for plain value v (held to min..max):
    // the one construction starts from and an editor stores for v.
    float normalizedOf(int v) const noexcept;

    bool setNormalized(float x) noexcept override;
    // Decimal integer, minus sign for negatives.
    void getDisplay(char* text) const noexcept override;
    // A whole number in min..max.
    bool textToNormalized(const char* text, float& normalized) const noexcept override;

private:
    std::atomic<int> value_;
};

// A choice among `count` entries; value() is the entry number 0..count - 1.
class ParameterEnum : public ParameterInt {
public:
    // Entry texts, max + 1 of them; a static table, not owned.
    const char* const* names;

    // Starts at entry 0 with normalized 0. A count below 1 gives one entry.
    ParameterEnum(const char* name, const char* const* entryNames, int count) noexcept;

    // The entry text, cut to kParameterDisplayLength characters.
    void getDisplay(char* text) const noexcept override;
    // An entry's text, whole or cut as the display shows it; the first entry
    // of that text when two share it.
    bool textToNormalized(const char* text, float& normalized) const noexcept override;
};

// On/off; on exactly when normalized > 0.5 (0.5 itself is off).
class ParameterSwitch : public Parameter {
public:
    ParameterSwitch(const char* name, bool def) noexcept;

    // Any thread. The plain value.
    bool on() const noexcept { return on_.load(std::memory_order_relaxed); }

    bool setNormalized(float x) noexcept override;
    // "On" or "Off".
    void getDisplay(char* text) const noexcept override;
    // "On" (normalized 1) or "Off" (0).
    bool textToNormalized(const char* text, float& normalized) const noexcept override;

private:
    std::atomic<bool> on_;
};

// Real plain value, linear: value = min + (max - min) * x, in double.
// Every accepted write answers true, also one that repeats the current value,
// so each host write reaches the engine.
class ParameterFloat : public Parameter {
public:
    double min; // plain value at normalized 0; fixed after construction
    double max; // plain value at normalized 1; fixed after construction

    ParameterFloat(const char* name, const char* label, double min, double max, double def) noexcept;

    // Any thread. The plain value.
    double value() const noexcept { return value_.load(std::memory_order_relaxed); }

    bool setNormalized(float x) noexcept override;
    // Fixed point with one decimal, '.' as decimal point whatever the host's
    // locale ("0.0", "-12.0", "22000.0"); longer texts are cut to 8 characters.
    void getDisplay(char* text) const noexcept override;
    // A number in min..max.
    bool textToNormalized(const char* text, float& normalized) const noexcept override;
    // Any thread. Sets the plain value and derives normalized from it. A value
    // that is not finite or has no finite normalized counterpart is ignored.
    void setValue(double v) noexcept;

protected:
    // The curve: the plain value at normalized x, and the normalized value
    // (in double, before narrowing) of plain value v. Either may answer a
    // non-finite number, which the callers refuse.
    virtual double plainAt(float x) const noexcept;
    virtual double normalizedAt(double v) const noexcept;
    // Construction of a derived curve: starts from plain value def exactly,
    // with its normalized counterpart (0 when it has none).
    void start(double def) noexcept;

private:
    std::atomic<double> value_;
    static_assert(std::atomic<double>::is_always_lock_free, "a parameter write must never take a lock");
};

// Exponential curve through (0, min), (0.5, mid) and (1, max):
// value = curveScale * curveBase^x + curveOffset. Suits times, where the
// musically useful range is crowded near the bottom.
class ParameterFloatSlope : public ParameterFloat {
public:
    double curveBase;   // base b of the curve, ((max - min) / (mid - min) - 1)^2
    double curveScale;  // factor k, (max - min) / (b - 1)
    double curveOffset; // min - k, so that x = 0 lands on min

    // A mid halfway between min and max (or any other mid that gives no
    // usable curve) makes the parameter linear min..max, the limit the curve
    // approaches as mid nears halfway.
    ParameterFloatSlope(const char* name, const char* label, double min, double mid, double max, double def) noexcept;

protected:
    double plainAt(float x) const noexcept override;
    double normalizedAt(double v) const noexcept override;

private:
    bool isLinear() const noexcept;
};

// Logarithmic: value = min * (max / min)^x, for min and max above 0; equal
// ratios per equal control travel (frequencies, decay times).
class ParameterFloatLog : public ParameterFloat {
public:
    ParameterFloatLog(const char* name, const char* label, double min, double max, double def) noexcept;

protected:
    double plainAt(float x) const noexcept override;
    double normalizedAt(double v) const noexcept override;
};

// 0..100 %, linear.
class ParameterPercent : public ParameterFloat {
public:
    ParameterPercent(const char* name, double def) noexcept;
};

// floorDb..0 dB, linear in dB: unity at the top. Shown as "-oo" while
// normalized is below 0.001: the bottom of the control reads as off rather
// than as its floor.
class ParameterGain : public ParameterFloat {
public:
    ParameterGain(const char* name, double floorDb, double defDb) noexcept;

    void getDisplay(char* text) const noexcept override;
    // "-oo" (normalized 0), or a level in dB that does not read as "-oo".
    bool textToNormalized(const char* text, float& normalized) const noexcept override;
};

} // namespace zem
