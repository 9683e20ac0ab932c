// The framework's editor protocol on a plug-in of its own, with an editor
// that records what it is asked: opening and closing, which parameter
// changes reach the editor, edits from the editor, and closing the instance
// with its editor still open.
#include <gtest/gtest.h>

#include <limits>
#include <utility>
#include <vector>

#include "framework/plugin_with_editor.h"
#include "tests/hosted_plugin.h"

namespace {

struct RecordingEditor {
    static constexpr int width = 120;
    static constexpr int height = 80;
    static inline int live = 0;
    // The window system refuses the next windows (no display, say).
    static inline bool refuse = false;

    RecordingEditor(NativeModule, zem::IEditController* plugin, NativeWindow parent) : plugin(plugin), parent(parent) { ++live; }
    ~RecordingEditor() { --live; }
    RecordingEditor(const RecordingEditor&) = delete;
    RecordingEditor& operator=(const RecordingEditor&) = delete;
    void updateControl(int index) { updates.push_back(index); }
    void idle() { ++idles; }
    NativeWindow windowHandle() const { return refuse ? nullptr : parent; }
    static bool wake(NativeWindow) { return false; }

    zem::IEditController* plugin;
    NativeWindow parent;
    std::vector<int> updates;
    int idles = 0;
};

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
    RecordingEditor* editor = plugin->editor.get();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->parent, static_cast<NativeWindow>(&parent));
    EXPECT_EQ(editor->updates, (std::vector<int>{0, 1, 2}));
    char other = 0;
    EXPECT_EQ(dispatch(effEditOpen, &other), 0) << "the open editor stays";
    EXPECT_EQ(plugin->editor.get(), editor);
    EXPECT_EQ(dispatch(effEditIdle), 1);
    EXPECT_EQ(editor->idles, 1);

    EXPECT_EQ(dispatch(effEditClose), 1);
    EXPECT_EQ(plugin->editor, nullptr);
    EXPECT_EQ(dispatch(effEditClose), 1) << "nothing open: still 1";
    EXPECT_EQ(RecordingEditor::live, 0);
    EXPECT_TRUE(Automation::calls.empty());
}

// Real-valued parameters pass every host write on; integer, enumerated and
// switch parameters only writes that move their plain value.
TEST_F(EditorProtocol, HostWritesReachTheEditorOnlyWhenTheyChangeSomething) {
    ASSERT_EQ(dispatch(effEditOpen, &parent), 1);
    auto& updates = plugin->editor->updates;
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
    RecordingEditor* editor = plugin->editor.get();
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

} // namespace
