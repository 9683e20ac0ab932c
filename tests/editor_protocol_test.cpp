// The framework's editor protocol on a plug-in of its own, with an editor
// that records what it is asked: opening and closing, which parameter
// changes reach the editor, edits from the editor, closing the instance
// with its editor still open, and the editor's scale: where it comes from,
// the user's zoom and the host's answer to a new size.
#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>
#include <utility>
#include <vector>

#include "framework/editor_link.h"
#include "framework/plugin_with_editor.h"
#include "tests/hosted_plugin.h"

namespace {

struct RecordingEditor {
    static constexpr int width = 120;
    static constexpr int height = 80;
    static inline int live = 0;
    // The window system refuses the next windows (no display, say).
    static inline bool refuse = false;

    // The variable that sets the scale, and the screen's factor as the
    // platform would report it: for the host's window, when parentScreen is
    // set, else for the screen as a whole.
    static constexpr const char* scaleVariable = "ZEM_TEST_EDITOR_SCALE";
    static inline double screen = 0.0;
    static inline double parentScreen = -1.0;

    RecordingEditor(NativeModule, zem::IEditController* plugin, NativeWindow parent, zem::Scale scale, bool zoomMenu)
        : plugin(plugin), parent(parent), shown(scale), zoomMenu(zoomMenu) {
        ++live;
    }
    ~RecordingEditor() { --live; }
    RecordingEditor(const RecordingEditor&) = delete;
    RecordingEditor& operator=(const RecordingEditor&) = delete;
    void updateControl(int index) { updates.push_back(index); }
    void idle() { ++idles; }
    NativeWindow windowHandle() const { return refuse ? nullptr : parent; }
    zem::Scale scale() const { return shown; }
    bool setScale(zem::Scale s) {
        shown = s;
        return true;
    }
    static double screenFactor(NativeWindow parent) {
        return parent != nullptr && parentScreen >= 0.0 ? parentScreen : screen;
    }
    static bool wake(NativeWindow) { return false; }

    zem::IEditController* plugin;
    NativeWindow parent;
    zem::Scale shown;
    bool zoomMenu;
    std::vector<int> updates;
    int idles = 0;
};

// Sets (or, for null, removes) an environment variable.
void setVariable(const char* name, const char* value) {
#ifdef _WIN32
    _putenv_s(name, value != nullptr ? value : ""); // an empty value removes it
#else
    if (value != nullptr)
        setenv(name, value, 1);
    else
        unsetenv(name);
#endif
}

struct Automation {
    static inline std::vector<std::pair<int, float>> calls;
    static VstIntPtr ZEM_VSTCALL callback(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr, void*, float value) {
        if (opcode == audioMasterAutomate) calls.push_back({index, value});
        return 0;
    }
};

// Three parameters of three kinds; renders silence.
class ToyPlugin final : public zem::PluginWithEditor<ToyPlugin, 3, RecordingEditor> {
public:
    static constexpr std::int32_t uniqueId = 2;
    static constexpr std::int32_t version = 1;
    static constexpr bool isSynth = true;
    static constexpr const char* effectName = "Toy";
    static constexpr const char* vendorName = "Toy";
    static constexpr const char* productName = "Toy";

    ToyPlugin(AEffect& record, zem::HostCallback host) : PluginWithEditor(record, host, nullptr) {}
    zem::ParameterSet<3>& parameters() { return params; }
    void setSampleRate(double) {}
    void prepareBlock() {}
    void handleEvent(const zem::Event&) {}
    template <class Sample>
    void render(int count, Sample* out) {
        for (int i = 0; i < count; ++i) out[i] = 0;
    }

    zem::ParameterSet<3> params;
    zem::ParameterSet<3>::Param<zem::ParameterFloat> level{params, 0, "Level", "", 0.0, 1.0, 0.5};
    zem::ParameterSet<3>::Param<zem::ParameterEnum> shape{params, 1, "Shape", kShapes, 3};
    zem::ParameterSet<3>::Param<zem::ParameterSwitch> gate{params, 2, "Gate", false};
    static constexpr const char* kShapes[] = {"A", "B", "C"};
};

class EditorProtocol : public ::testing::Test {
protected:
    void SetUp() override {
        Automation::calls.clear();
        effect = ToyPlugin::instantiate(&Automation::callback);
        ASSERT_NE(effect, nullptr);
        plugin = static_cast<ToyPlugin*>(static_cast<zem::Plugin<ToyPlugin, 3>*>(effect->object));
    }
    void TearDown() override { closeInstance(effect); }
    VstIntPtr dispatch(VstInt32 opcode, void* ptr = nullptr) { return effect->dispatcher(effect, opcode, 0, 0, ptr, 0.0f); }

    AEffect* effect = nullptr;
    ToyPlugin* plugin = nullptr;
    char parent = 0;
};

// VST 2.4 offers no way to ask the host for another size: the panel keeps
// its one size whatever the screen, the environment or the user says.
TEST_F(EditorProtocol, AVst2EditorHasItsOneSize) {
    RecordingEditor::screen = 2.0;
    setVariable(RecordingEditor::scaleVariable, "1.5");
    ASSERT_EQ(dispatch(effEditOpen, &parent), 1);
    RecordingEditor* editor = plugin->editor();
    EXPECT_EQ(editor->shown.percent(), 100);
    EXPECT_FALSE(editor->zoomMenu);
    editor->plugin->zoomChosen(200);
    editor->plugin->screenFactorChanged(1.5);
    EXPECT_EQ(editor->shown.percent(), 100);
    setVariable(RecordingEditor::scaleVariable, nullptr);
    RecordingEditor::screen = 0.0;
}

TEST_F(EditorProtocol, OneEditorAtATimeShowingEveryParameterWhenItOpens) {
    EXPECT_NE(effect->flags & effFlagsHasEditor, 0);
    ERect* rect = nullptr;
    ASSERT_EQ(dispatch(effEditGetRect, &rect), 1);
    EXPECT_EQ(rect->right, RecordingEditor::width);
    EXPECT_EQ(rect->bottom, RecordingEditor::height);

    EXPECT_EQ(dispatch(effEditOpen, nullptr), 0) << "no parent, no editor";
    RecordingEditor::refuse = true;
    EXPECT_EQ(dispatch(effEditOpen, &parent), 0) << "no window, no editor";
    RecordingEditor::refuse = false;
    EXPECT_EQ(RecordingEditor::live, 0);
    EXPECT_EQ(dispatch(effEditIdle), 0);
    ASSERT_EQ(dispatch(effEditOpen, &parent), 1);
    RecordingEditor* editor = plugin->editor();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->parent, static_cast<NativeWindow>(&parent));
    EXPECT_EQ(editor->updates, (std::vector<int>{0, 1, 2}));
    char other = 0;
    EXPECT_EQ(dispatch(effEditOpen, &other), 0) << "the open editor stays";
    EXPECT_EQ(plugin->editor(), editor);
    EXPECT_EQ(dispatch(effEditIdle), 1);
    EXPECT_EQ(editor->idles, 1);

    EXPECT_EQ(dispatch(effEditClose), 1);
    EXPECT_EQ(plugin->editor(), nullptr);
    EXPECT_EQ(dispatch(effEditClose), 1) << "nothing open: still 1";
    EXPECT_EQ(RecordingEditor::live, 0);
    EXPECT_TRUE(Automation::calls.empty());
}

// Real-valued parameters pass every host write on; integer, enumerated and
// switch parameters only writes that move their plain value.
TEST_F(EditorProtocol, HostWritesReachTheEditorOnlyWhenTheyChangeSomething) {
    ASSERT_EQ(dispatch(effEditOpen, &parent), 1);
    auto& updates = plugin->editor()->updates;
    updates.clear();
    effect->setParameter(effect, 0, effect->getParameter(effect, 0)); // same value, real type
    effect->setParameter(effect, 1, 0.1f);                            // still entry 0
    effect->setParameter(effect, 2, 0.5f);                            // still off
    effect->setParameter(effect, 1, 0.3f);                            // entry 1
    effect->setParameter(effect, 1, 0.31f);                           // still entry 1
    effect->setParameter(effect, 0, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(updates, (std::vector<int>{0, 1}));
    EXPECT_EQ(effect->getParameter(effect, 1), 0.31f) << "the host's value, not one recomputed from the entry";
}

TEST_F(EditorProtocol, EditsAreStoredShownAndAutomatedEvenWhenNothingMoves) {
    ASSERT_EQ(dispatch(effEditOpen, &parent), 1);
    RecordingEditor* editor = plugin->editor();
    editor->updates.clear();
    editor->plugin->edit(1, 1.0f);
    editor->plugin->edit(1, 1.0f);
    editor->plugin->edit(7, 1.0f); // no such parameter: nothing happens
    EXPECT_EQ(plugin->shape.value(), 2);
    EXPECT_EQ(editor->updates, (std::vector<int>{1, 1}));
    EXPECT_EQ(Automation::calls, (std::vector<std::pair<int, float>>{{1, 1.0f}, {1, 1.0f}}));
    EXPECT_EQ(editor->plugin->parameter(2), &plugin->gate);
    EXPECT_EQ(editor->plugin->parameter(3), nullptr);
}

// A host that closes the instance without closing its editor first must not
// be left with a live editor that calls it through a closed record.
TEST_F(EditorProtocol, ClosingTheInstanceClosesItsEditorFirst) {
    ASSERT_EQ(dispatch(effEditOpen, &parent), 1);
    EXPECT_EQ(RecordingEditor::live, 1);
    EXPECT_EQ(dispatch(effClose), 1);
    EXPECT_EQ(RecordingEditor::live, 0);
    EXPECT_EQ(effect->object, nullptr);
    EXPECT_EQ(dispatch(effEditOpen, &parent), 0);
}

// --- The scale of an editor that scales (framework/editor_link.h) ---------------

struct NoController final : zem::IEditController {
    zem::Parameter* parameter(int) override { return nullptr; }
    void edit(int, float) override {}
    void applyPendingEditorUpdates() override {}
};

// The host's window around the editor: records each size it is asked for,
// and agrees unless told not to.
struct RecordingFrame final : zem::IEditorFrame {
    bool resizeEditor(int width, int height) override {
        asked.push_back({width, height});
        return agree;
    }
    std::vector<std::pair<int, int>> asked;
    bool agree = true;
};

class ScalingLink : public ::testing::Test {
protected:
    void SetUp() override { link.enableScaling(); }
    void TearDown() override {
        link.close();
        setVariable(RecordingEditor::scaleVariable, nullptr);
        RecordingEditor::screen = 0.0;
        RecordingEditor::parentScreen = -1.0;
    }
    bool open() { return link.open(nullptr, &controller, &parent, &frame); }
    int shown() { return link.current()->shown.percent(); }

    zem::EditorLink<RecordingEditor, 3> link;
    NoController controller;
    RecordingFrame frame;
    char parent = 0;
};

// Strongest first: the user's zoom, the host, the environment, the screen;
// a factor picks the largest drawn scale not above it.
TEST_F(ScalingLink, TheScaleComesFromTheStrongestSourceThatSpeaks) {
    EXPECT_EQ(link.scale().percent(), 100) << "nobody says anything";
    RecordingEditor::screen = 1.75;
    EXPECT_EQ(link.scale().percent(), 150);
    EXPECT_EQ(link.width(), 180);
    EXPECT_EQ(link.height(), 120);
    setVariable(RecordingEditor::scaleVariable, "2");
    EXPECT_EQ(link.scale().percent(), 200);
    setVariable(RecordingEditor::scaleVariable, "large");
    EXPECT_EQ(link.scale().percent(), 150) << "a variable that holds no factor says nothing";
    link.setHostFactor(1.0);
    EXPECT_EQ(link.scale().percent(), 100);
    link.setHostFactor(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(link.scale().percent(), 150) << "a host's NaN is no word";
    link.setZoom(200);
    link.setHostFactor(1.0);
    EXPECT_EQ(link.scale().percent(), 200);
    link.setZoom(120);
    EXPECT_EQ(link.zoom(), 0) << "a size the panel is not drawn at is no zoom";
    EXPECT_EQ(link.scale().percent(), 100);
}

TEST_F(ScalingLink, AnOpenEditorFollowsAndAsksTheHostForRoom) {
    RecordingEditor::screen = 2.0;
    ASSERT_TRUE(open());
    EXPECT_EQ(shown(), 200);
    EXPECT_TRUE(link.current()->zoomMenu);
    EXPECT_TRUE(frame.asked.empty()) << "the host was told this size before the window existed";

    // The user's pick: shown, kept, the host asked for the room.
    link.current()->plugin->zoomChosen(100);
    link.chooseZoom(150);
    EXPECT_EQ(shown(), 150);
    EXPECT_EQ(link.zoom(), 150);
    EXPECT_EQ(frame.asked, (std::vector<std::pair<int, int>>{{180, 120}}));

    // A host that refuses the size: the panel and the kept zoom stay.
    frame.agree = false;
    link.chooseZoom(200);
    EXPECT_EQ(shown(), 150);
    EXPECT_EQ(link.zoom(), 150);
    frame.agree = true;

    // The zoom outranks the screen; without it the screen counts again.
    frame.asked.clear();
    link.screenChanged(1.0);
    EXPECT_EQ(shown(), 150);
    link.setZoom(0);
    EXPECT_EQ(shown(), 100);
    link.screenChanged(1.5);
    EXPECT_EQ(shown(), 150);
    link.setHostFactor(1.0);
    EXPECT_EQ(shown(), 100);
    EXPECT_EQ(frame.asked, (std::vector<std::pair<int, int>>{{120, 80}, {180, 120}, {120, 80}}));
}

// A host window on a screen of another scale than get_size assumed gets the
// right size asked of it as soon as the editor opens.
TEST_F(ScalingLink, AnEditorOpeningAtAnotherScaleThanPromisedAsksForItsSize) {
    RecordingEditor::screen = 1.0;
    RecordingEditor::parentScreen = 2.0;
    EXPECT_EQ(link.width(), 120) << "what get_size tells the host";
    ASSERT_TRUE(open());
    EXPECT_EQ(shown(), 200);
    EXPECT_EQ(frame.asked, (std::vector<std::pair<int, int>>{{240, 160}}));
}

} // namespace
