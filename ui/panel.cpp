#include "ui/panel.h"

#include "framework/parameter.h"

namespace Veldane {

namespace {

// Where the control of `e` sits at scale `s`: its corner placed by
// s.pixels(), its size that of its images at s (a radio group's last lamp
// sits s.pixels(offset) below the first, as RadioControl draws it).
PixelRect boundsOf(const PanelEntry& e, zem::Scale s) {
    const int left = s.pixels(e.left), top = s.pixels(e.top);
    switch (e.kind) {
    case ControlKind::radio:
        return zem::makeRect(left, top, s.pixels(lampWidth),
                             s.pixels((e.itemsOrSteps - 1) * radioSpacing) + s.pixels(lampHeight));
    case ControlKind::knob:
        return zem::makeRect(left, top, s.pixels(knobSize), s.pixels(knobSize));
    case ControlKind::lampSwitch:
        return zem::makeRect(left, top, s.pixels(lampWidth), s.pixels(lampHeight));
    case ControlKind::slider:
        break;
    }
    return zem::makeRect(left, top, s.pixels(sliderWidth), s.pixels(sliderHeight));
}

} // namespace

Panel::Panel(zem::IEditor* editor, const PanelImages& images, zem::Scale scale) {
    for (int& e : entryOf)
        e = -1;
    int radio = 0, knob = 0, lamp = 0, slider = 0;
    for (int i = 0; i < panelControlCount; ++i) {
        const PanelEntry& e = panelLayout[i];
        const PixelRect bounds = boundsOf(e, zem::Scale());
        zem::Control* control = nullptr;
        switch (e.kind) {
        case ControlKind::radio:
            radios[radio] =
                RadioControl(e.parameter, bounds, editor, images.lampOn, images.lampOff, e.itemsOrSteps, radioSpacing);
            control = &radios[radio++];
            break;
        case ControlKind::knob:
            knobs[knob] = Knob(e.parameter, bounds, editor, images.knob, e.itemsOrSteps, knobFrameCount, e.defaultValue);
            control = &knobs[knob++];
            break;
        case ControlKind::lampSwitch:
            switches[lamp] = SwitchControl(e.parameter, bounds, editor, images.lampOn, images.lampOff);
            control = &switches[lamp++];
            break;
        case ControlKind::slider:
            sliders[slider] = zem::SliderControl(e.parameter, bounds, editor, images.sliderHandle, sliderHandleHeight);
            control = &sliders[slider++];
            break;
        }
        controls[i] = control;
        entryOf[e.parameter] = i;
    }
    if (scale != zem::Scale())
        place(scale, images);
}

void Panel::place(zem::Scale scale, const PanelImages& images) {
    for (int i = 0; i < panelControlCount; ++i) {
        const PanelEntry& e = panelLayout[i];
        zem::Control& control = *controls[i];
        const PixelRect bounds = boundsOf(e, scale);
        switch (e.kind) {
        case ControlKind::radio: {
            auto& radio = static_cast<RadioControl&>(control);
            radio.onImage = images.lampOn;
            radio.offImage = images.lampOff;
            break;
        }
        case ControlKind::knob:
            static_cast<Knob&>(control).image = images.knob;
            break;
        case ControlKind::lampSwitch: {
            auto& lamp = static_cast<SwitchControl&>(control);
            lamp.onImage = images.lampOn;
            lamp.offImage = images.lampOff;
            break;
        }
        case ControlKind::slider:
            static_cast<zem::SliderControl&>(control).place(bounds, images.sliderHandle, sliderHandleHeight, scale);
            break;
        }
        control.bounds = bounds;
        control.scale = scale;
    }
}

zem::Control* Panel::controlFor(int index) const {
    if (index < 0 || index >= kParamCount || entryOf[index] < 0)
        return nullptr;
    return controls[entryOf[index]];
}

void Panel::controlChanged(zem::IEditController& plugin, int index) {
    zem::Control* control = controlFor(index);
    zem::Parameter* parameter = plugin.parameter(index);
    if (control == nullptr || parameter == nullptr)
        return;
    const PanelEntry& entry = panelLayout[entryOf[index]];
    // The parameter types are those of the plug-in's parameter set; the casts
    // are checked so that a control never writes a value its parameter cannot
    // take.
    switch (entry.binding) {
    case Binding::choice:
        if (auto* p = dynamic_cast<zem::ParameterInt*>(parameter)) {
            const auto& radio = static_cast<const RadioControl&>(*control);
            const int lastItem = radio.count - 1;
            const bool last = radio.selected == lastItem && entry.lastItemValue >= 0;
            plugin.edit(index, p->normalizedOf(last ? entry.lastItemValue : radio.selected));
        }
        break;
    case Binding::steppedInt:
        if (auto* p = dynamic_cast<zem::ParameterInt*>(parameter))
            plugin.edit(index, p->normalizedOf(p->min + static_cast<const Knob&>(*control).stepIndex));
        break;
    case Binding::onOff:
        if (dynamic_cast<zem::ParameterSwitch*>(parameter) != nullptr)
            plugin.edit(index, static_cast<const SwitchControl&>(*control).on ? 1.0f : 0.0f);
        break;
    case Binding::normalized:
        if (entry.kind == ControlKind::slider)
            plugin.edit(index, static_cast<float>(static_cast<const zem::SliderControl&>(*control).normalizedValue()));
        else
            plugin.edit(index, static_cast<float>(static_cast<const Knob&>(*control).value));
        break;
    }
}

void Panel::updateControl(zem::IEditController& plugin, int index) {
    zem::Control* control = controlFor(index);
    const zem::Parameter* parameter = plugin.parameter(index);
    if (control == nullptr || parameter == nullptr)
        return;
    const PanelEntry& entry = panelLayout[entryOf[index]];
    switch (entry.binding) {
    case Binding::choice:
        if (auto* p = dynamic_cast<const zem::ParameterInt*>(parameter)) {
            auto& radio = static_cast<RadioControl&>(*control);
            // The last item lights for its own value and every larger one
            // (Voice Mode: entries 2 and 3 are both polyphonic).
            int item = p->value();
            if (item > radio.count - 1)
                item = radio.count - 1;
            if (item < 0)
                item = 0;
            radio.setSelected(item);
        }
        break;
    case Binding::steppedInt:
        if (auto* p = dynamic_cast<const zem::ParameterInt*>(parameter))
            static_cast<Knob&>(*control).setStep(p->value() - p->min);
        break;
    case Binding::onOff:
        if (auto* p = dynamic_cast<const zem::ParameterSwitch*>(parameter))
            static_cast<SwitchControl&>(*control).setState(p->on());
        break;
    case Binding::normalized:
        if (entry.kind == ControlKind::slider)
            static_cast<zem::SliderControl&>(*control).setValue(parameter->normalized());
        else
            static_cast<Knob&>(*control).setValue(parameter->normalized());
        break;
    }
}

} // namespace Veldane
