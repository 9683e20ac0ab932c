#include "synth/panel.h"

#include "framework/editor.h"
#include "framework/parameter.h"
#include "synth/plugin.h"

namespace Veldane {

namespace {

// Writes an integer plain value and its normalized form together, the way the
// parameter's constructor relates them (single precision). A value outside
// min..max is brought inside first.
void writeInteger(zem::ParameterInt& p, int v) {
    if (v < p.min)
        v = p.min;
    if (v > p.max)
        v = p.max;
    p.value = v;
    p.normalized = p.max > p.min ? static_cast<float>(v - p.min) / static_cast<float>(p.max - p.min) : 0.0f;
}

RECT boundsOf(const PanelEntry& e, int itemCount) {
    switch (e.kind) {
    case ControlKind::radio:
        return zem::makeRect(e.left, e.top, lampWidth, (itemCount - 1) * radioSpacing + lampHeight);
    case ControlKind::knob:
        return zem::makeRect(e.left, e.top, knobSize, knobSize);
    case ControlKind::lampSwitch:
        return zem::makeRect(e.left, e.top, lampWidth, lampHeight);
    case ControlKind::slider:
        break;
    }
    return zem::makeRect(e.left, e.top, sliderWidth, sliderHeight);
}

} // namespace

Panel::Panel(zem::IEditor* editor, const PanelImages& images) {
    for (int& e : entryOf)
        e = -1;
    int radio = 0, knob = 0, lamp = 0, slider = 0;
    for (int i = 0; i < panelControlCount; ++i) {
        const PanelEntry& e = panelLayout[i];
        const RECT bounds = boundsOf(e, e.itemsOrSteps);
        zem::Control* control = nullptr;
        switch (e.kind) {
        case ControlKind::radio:
            radios[radio] =
                RadioControl(e.parameterIndex, bounds, editor, images.lampOn, images.lampOff, e.itemsOrSteps, radioSpacing);
            control = &radios[radio++];
            break;
        case ControlKind::knob:
            knobs[knob] = Knob(e.parameterIndex, bounds, editor, images.knob, e.itemsOrSteps, knobFrameCount, e.defaultValue);
            control = &knobs[knob++];
            break;
        case ControlKind::lampSwitch:
            switches[lamp] = SwitchControl(e.parameterIndex, bounds, editor, images.lampOn, images.lampOff);
            control = &switches[lamp++];
            break;
        case ControlKind::slider:
            sliders[slider] = zem::SliderControl(e.parameterIndex, bounds, editor, images.sliderHandle);
            control = &sliders[slider++];
            break;
        }
        controls[i] = control;
        if (e.parameterIndex >= 0 && e.parameterIndex < parameterCount)
            entryOf[e.parameterIndex] = i;
    }
}

zem::Control* Panel::controlFor(int index) const {
    if (index < 0 || index >= parameterCount || entryOf[index] < 0)
        return nullptr;
    return controls[entryOf[index]];
}

void Panel::controlChanged(Plugin& plugin, int index) {
    zem::Control* control = controlFor(index);
    if (control == nullptr || plugin.params[index] == nullptr)
        return;
    const PanelEntry& entry = panelLayout[entryOf[index]];
    zem::Parameter& parameter = *plugin.params[index];
    // The parameter types are those of the plug-in's parameter set; the casts
    // are checked so that a control never writes fields its parameter lacks.
    switch (entry.binding) {
    case Binding::choice:
        if (auto* p = dynamic_cast<zem::ParameterInt*>(&parameter)) {
            const auto& radio = static_cast<const RadioControl&>(*control);
            const int lastItem = radio.count - 1;
            const bool last = radio.selected == lastItem && entry.lastItemValue >= 0;
            writeInteger(*p, last ? entry.lastItemValue : radio.selected);
        }
        break;
    case Binding::steppedInt:
        if (auto* p = dynamic_cast<zem::ParameterInt*>(&parameter))
            writeInteger(*p, p->min + static_cast<const Knob&>(*control).stepIndex);
        break;
    case Binding::onOff:
        if (auto* p = dynamic_cast<zem::ParameterSwitch*>(&parameter)) {
            p->on = static_cast<const SwitchControl&>(*control).on;
            p->normalized = p->on ? 1.0f : 0.0f;
        }
        break;
    case Binding::normalized:
        if (entry.kind == ControlKind::slider)
            parameter.setNormalized(static_cast<float>(static_cast<const zem::SliderControl&>(*control).normalizedValue()));
        else
            parameter.setNormalized(static_cast<float>(static_cast<const Knob&>(*control).value));
        break;
    }
    plugin.parameterChanged(index);
    if (plugin.hostCallback != nullptr)
        plugin.hostCallback(&plugin.effect, audioMasterAutomate, index, 0, nullptr, parameter.normalized);
}

void Panel::updateControl(Plugin& plugin, int index) {
    zem::Control* control = controlFor(index);
    if (control == nullptr || plugin.params[index] == nullptr)
        return;
    const PanelEntry& entry = panelLayout[entryOf[index]];
    const zem::Parameter& parameter = *plugin.params[index];
    switch (entry.binding) {
    case Binding::choice:
        if (auto* p = dynamic_cast<const zem::ParameterInt*>(&parameter)) {
            auto& radio = static_cast<RadioControl&>(*control);
            // The last item lights for its own value and every larger one
            // (Voice Mode: entries 2 and 3 are both polyphonic).
            int item = p->value;
            if (item > radio.count - 1)
                item = radio.count - 1;
            if (item < 0)
                item = 0;
            radio.setSelected(item);
        }
        break;
    case Binding::steppedInt:
        if (auto* p = dynamic_cast<const zem::ParameterInt*>(&parameter))
            static_cast<Knob&>(*control).setStep(p->value - p->min);
        break;
    case Binding::onOff:
        if (auto* p = dynamic_cast<const zem::ParameterSwitch*>(&parameter))
            static_cast<SwitchControl&>(*control).setState(p->on);
        break;
    case Binding::normalized:
        if (entry.kind == ControlKind::slider)
            static_cast<zem::SliderControl&>(*control).setValue(parameter.normalized);
        else
            static_cast<Knob&>(*control).setValue(parameter.normalized);
        break;
    }
}

} // namespace Veldane
