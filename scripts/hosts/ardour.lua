-- The Ardour side of the ardour-*.sh scripts; run by ardour7-lua (Ardour's
-- headless session tool, "None (Dummy)" audio backend), one command per
-- process so that every session is saved by one process and read by another.
--
-- usage: ardour7-lua ardour.lua COMMAND key=value...
--   create session=DIR plugin=KIND:ID [feed=KIND:ID] [phrase=FILE seconds=S] [preset=LABEL]
--          [set=NAME=VALUE]...
--       New 48 kHz session with one MIDI track "Synth" whose instrument is the
--       plug-in; with feed=, the feed plug-in is the instrument and the plug-in
--       under test follows it (for effect plug-ins). phrase= writes the notes
--       of FILE (see phrase.txt) into a MIDI region S seconds long. preset=
--       loads the plug-in's preset of that label, as a user picks it from
--       Ardour's preset menu. set= moves a parameter, by name, to a value in
--       the plug-in's own units (what "params" lists as lower..upper). Saves,
--       then prints "name<TAB>default<TAB>value" for each set parameter, the
--       value as read back.
--   export session=DIR out=FILE.wav seconds=S
--       Exports the first S seconds of the master bus (32-bit float WAV).
--   values session=DIR [name=NAME]...
--       Prints "name<TAB>value" for the plug-in under test (all parameters,
--       or the named ones).
--   list session=DIR
--       Prints every LV2, Linux VST2 and VST3 plug-in Ardour knows as
--       "kind<TAB>name<TAB>unique id<TAB>path" (from a scratch session at DIR,
--       not saved): LV2 from lilv's path, VST2 and VST3 from the scanner's
--       cache, for files along Ardour's search paths only.
--   params plugin=KIND:ID [feed=KIND:ID] session=DIR
--       Prints the plug-in's parameters as a TSV table with a header line
--       (from a scratch session at DIR, not saved).
--   presets plugin=KIND:ID session=DIR
--       Prints the presets Ardour lists for the plug-in as a TSV table with a
--       header line (label, uri): what its plug-in information lists (LV2
--       presets, VST 3 preset files in the preset folders) and a VST 3
--       plug-in's programs (which Ardour lists per instance, under URIs
--       VST3-P:CLASS:NNNN), from a scratch session at DIR, not saved.
-- Results go to the file given as result=FILE (else to stdout, where
-- ardour7-lua also prints Ardour's own messages).
-- KIND is lv2 (ID: URI), vst2 (ID: path of the .so) or vst3 (ID: path of the
-- .vst3 bundle); ardour-*.sh resolve bundles and paths and run the scanners.
-- Any failure raises a Lua error, which makes ardour7-lua exit with status 1.

local TRACK = "Synth"
local RATE = 48000

local command = arg[1]
local opts = { set = {}, name = {} }
for i = 2, #arg do
  local k, v = arg[i]:match("^([%w_]+)=(.*)$")
  assert(k, "argument not of the form key=value: " .. arg[i])
  if opts[k] and type(opts[k]) == "table" then table.insert(opts[k], v) else opts[k] = v end
end
local function need(key)
  return opts[key] or error("missing " .. key .. "=", 0)
end

local TYPES = { lv2 = ARDOUR.PluginType.LV2, vst2 = ARDOUR.PluginType.LXVST, vst3 = ARDOUR.PluginType.VST3 }

-- The PluginInfo Ardour discovered for KIND:ID. VST3 infos carry the path of
-- the module inside the bundle, so a bundle path matches as a prefix.
local function find_plugin(ref)
  local kind, id = ref:match("^(%w+):(.+)$")
  local ty = kind and TYPES[kind] or error("plug-in not of the form lv2:URI, vst2:PATH or vst3:PATH: " .. ref, 0)
  local seen = {}
  for pi in ARDOUR.LuaAPI.list_plugins():iter() do
    if pi.type == ty then
      if pi.unique_id == id or pi.path == id or pi.path:sub(1, #id + 1) == id .. "/" then return pi, ty end
      seen[#seen + 1] = pi.name .. " (" .. pi.unique_id .. ", " .. pi.path .. ")"
    end
  end
  error(string.format("Ardour does not know %s; it knows %d %s plug-ins: %s", ref, #seen, kind,
    table.concat(seen, "; ")), 0)
end

local function add_plugin(session, track, ref, index)
  local pi, ty = find_plugin(ref)
  local proc = ARDOUR.LuaAPI.new_plugin(session, pi.unique_id, ty, "")
  if proc:isnil() then error("Ardour could not instantiate " .. ref, 0) end
  if track:add_processor_by_index(proc, index, nil, true) ~= 0 then
    error("Ardour could not insert " .. ref .. " into the track", 0)
  end
  return proc
end

-- The plug-in under test: the last plug-in on the track (the feed, if any, comes first).
local function plugin_under_test(session)
  local route = session:route_by_name(TRACK)
  if route:isnil() then error("no track " .. TRACK .. " in the session", 0) end
  local last
  local i = 0
  while true do
    local proc = route:nth_plugin(i)
    if proc:isnil() then break end
    last = proc
    i = i + 1
  end
  return last or error("the track has no plug-in", 0)
end

-- Calls fn(ordinal, descriptor) for every input control parameter. The
-- ordinal is what LuaAPI.get/set_processor_param take; the descriptor comes
-- from the plug-in's own parameter id.
local function each_control(proc, fn)
  local plugin = proc:to_insert():plugin(0)
  for i = 0, plugin:parameter_count() - 1 do
    local id, refs = plugin:nth_parameter(i, false)
    if refs[2] and plugin:parameter_is_control(id) and plugin:parameter_is_input(id) then
      local _, d = plugin:get_parameter_descriptor(id, ARDOUR.ParameterDescriptor())
      fn(i, d[2])
    end
  end
end

local function by_name(proc)
  local t = {}
  each_control(proc, function(i, d) t[d.label] = { index = i, desc = d } end)
  return t
end

local function value(proc, i)
  return (ARDOUR.LuaAPI.get_processor_param(proc, i, false))
end

local function fmt(v) return string.format("%.9g", v) end

local result = opts.result and assert(io.open(opts.result, "w")) or io.stdout
local function emit(...) result:write(table.concat({ ... }, "\t"), "\n") end

local function read_phrase(path)
  local notes = {}
  for line in io.lines(path) do
    local s, l, n, v = line:gsub("#.*", ""):match("^%s*(%S+)%s+(%S+)%s+(%S+)%s*(%S*)")
    if s then notes[#notes + 1] = { tonumber(s), tonumber(l), tonumber(n), tonumber(v) or 100 } end
  end
  return notes
end

-- Ardour 7's Lua API has no call that makes a MIDI source from nothing, so
-- the region comes from bouncing the still empty track (an empty MIDI region
-- of the wanted length), its model gets the notes, and the region goes on the
-- track's playlist. Note times are converted through the tempo map.
local function write_phrase(session, track, path, seconds)
  local samples = math.floor(seconds * RATE)
  local region = track:bounce_range(0, samples, ARDOUR.InterThreadInfo(), track:main_outs(), false, "phrase", false)
  if region:isnil() or region:to_midiregion():isnil() then error("bouncing an empty MIDI region failed", 0) end
  local model = region:to_midiregion():midi_source(0):model()
  local tm = Temporal.TempoMap.read()
  local function beats(t) return tm:quarters_at(Temporal.timepos_t(math.floor(t * RATE + 0.5))) end
  local cmd = model:new_note_diff_command("phrase")
  for _, n in ipairs(read_phrase(path)) do
    local on = beats(n[1])
    cmd:add(ARDOUR.LuaAPI.new_noteptr(0, on, beats(n[1] + n[2]) - on, n[3], n[4]))
  end
  model:apply_command(session, cmd)
  track:playlist():add_region(region, Temporal.timepos_t(0), 1, false)
end

-- Ardour connects a new track's outputs to the master bus from a thread of
-- its own, so under load the session could be saved before that happened,
-- and its export was silence. The connections are made here (making one
-- that is there already changes nothing) and checked.
local function connect_to_master(session, track)
  local master = session:master_out():input()
  local out = track:output()
  for i = 0, 1 do
    local ours, theirs = out:audio(i), master:audio(i)
    if ours:isnil() or theirs:isnil() then error("the track or the master bus has no audio port " .. i, 0) end
    if not ours:connected_to(theirs:name()) then ours:connect(theirs:name()) end
    if not ours:connected_to(theirs:name()) then
      error("could not connect " .. ours:name() .. " to " .. theirs:name(), 0)
    end
  end
end

-- A new session holding the track and its plug-ins; returns it and the plug-in under test.
local function build()
  local session = create_session(need("session"), "session", RATE) or error("could not create the session", 0)
  -- The track is made without an instrument and the plug-in inserted
  -- afterwards: new_midi_track with an instrument crashed about every other
  -- run here (a port registered twice, then a null string thrown).
  local tracks = session:new_midi_track(ARDOUR.ChanCount(ARDOUR.DataType("midi"), 1),
    ARDOUR.ChanCount(ARDOUR.DataType("audio"), 2), false, ARDOUR.PluginInfo(), nil, nil, 1, TRACK,
    ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, true, false)
  if tracks:size() ~= 1 then error("could not create the MIDI track", 0) end
  local track = tracks:front()
  connect_to_master(session, track)
  -- Bounced before any plug-in is on the track: behind an instrument the
  -- bounce would be audio.
  if opts.phrase then write_phrase(session, track, opts.phrase, tonumber(need("seconds"))) end
  local index = 0
  if opts.feed then add_plugin(session, track, opts.feed, index); index = index + 1 end
  return session, add_plugin(session, track, need("plugin"), index)
end

-- Loads the preset labelled `label` into the plug-in, as Ardour's preset menu does.
local function load_preset(proc, label)
  local plugin = proc:to_insert():plugin(0)
  local record = plugin:preset_by_label(label)
  if record == nil or not record.valid then error("Ardour lists no preset labelled '" .. label .. "'", 0) end
  if not plugin:load_preset(record) then error("Ardour could not load the preset " .. record.uri, 0) end
end

local function create()
  local session, proc = build()
  if opts.preset then load_preset(proc, opts.preset) end
  local params = by_name(proc)
  for _, kv in ipairs(opts.set) do
    local name, v = kv:match("^(.-)=([^=]*)$")
    local p = name and params[name] or error("no parameter named '" .. tostring(name or kv) .. "'", 0)
    local x = tonumber(v) or error("not a number: " .. v, 0)
    if not ARDOUR.LuaAPI.set_processor_param(proc, p.index, x) then
      error(string.format("Ardour refused %s = %s (range %s..%s)", name, v, fmt(p.desc.lower), fmt(p.desc.upper)), 0)
    end
  end
  -- A VST3 plug-in's saved state is what its processor holds, and the
  -- processor learns of a parameter change only in its next process call;
  -- saving at once stores the old values, and on reload that state wins over
  -- the values Ardour kept itself. A few engine cycles first.
  if (#opts.set > 0 or opts.preset) and not ARDOUR.LuaAPI.wait_for_process_callback(8, 5000) then
    error("the engine did not run after the parameter changes", 0)
  end
  if session:save_state("", false, false, false, false, false) ~= 0 then error("saving the session failed", 0) end
  for _, kv in ipairs(opts.set) do
    local name = kv:match("^(.-)=")
    emit(name, fmt(params[name].desc.normal), fmt(value(proc, params[name].index)))
  end
  close_session()
end

local function open()
  return load_session(need("session"), "session") or error("could not load the session " .. need("session"), 0)
end

-- Export as 32-bit float without dither, normalizing or loudness analysis,
-- so the file holds exactly what the master bus carried: a format and preset
-- of our own, put where Ardour looks for the user's export presets before the
-- session (and with it the export manager) is loaded.
local EXPORT_PRESET = "5c0d3c4e-8a59-4a8e-9b8e-76656c64616e"
local EXPORT_FORMAT = "a3b5e2f0-6c1d-4f7e-9a42-76656c64616e"

local function write_export_preset()
  local dir = ARDOUR.user_config_directory(-1) .. "/export"
  os.execute("mkdir -p '" .. dir .. "'")
  local f = assert(io.open(dir .. "/veldane-test.format", "w"))
  f:write([[<?xml version="1.0" encoding="UTF-8"?>
<ExportFormatSpecification name="Veldane test (float)" id="]] .. EXPORT_FORMAT .. [[" analyse="false">
  <Encoding id="F_WAV" type="T_Sndfile" extension="wav" name="WAV" has-sample-format="true" channel-limit="256"/>
  <SampleRate rate="SR_Session"/>
  <SRCQuality quality="SRC_SincBest"/>
  <EncodingOptions>
    <Option name="sample-format" value="SF_Float"/>
    <Option name="dithering" value="D_None"/>
    <Option name="tag-metadata" value="false"/>
    <Option name="tag-support" value="false"/>
    <Option name="broadcast-info" value="false"/>
  </EncodingOptions>
  <Processing>
    <Normalize enabled="false" loudness="no" dbfs="0" lufs="-23" dbtp="-1"/>
  </Processing>
</ExportFormatSpecification>
]])
  f:close()
  f = assert(io.open(dir .. "/veldane-test.preset", "w"))
  f:write([[<?xml version="1.0" encoding="UTF-8"?>
<ExportPreset id="]] .. EXPORT_PRESET .. [[" name="Veldane test">
  <ExportFormat id="]] .. EXPORT_FORMAT .. [["/>
</ExportPreset>
]])
  f:close()
end

local function export()
  write_export_preset()
  local session = open()
  local e = session:simple_export()
  local out = need("out")
  local folder, name = out:match("^(.*)/([^/]+)%.wav$")
  if not folder then error("out= must be a path ending in .wav", 0) end
  e:set_folder(folder)
  e:set_name(name)
  e:set_range(0, math.floor(tonumber(need("seconds")) * RATE))
  if not e:set_preset(EXPORT_PRESET) then error("Ardour does not know the export preset " .. EXPORT_PRESET, 0) end
  if not e:check_outputs() then error("the master bus has no outputs to export", 0) end
  if not e:run_export() then error("the export failed", 0) end
  close_session()
end

local function values()
  local session = open()
  local proc = plugin_under_test(session)
  local wanted = {}
  for _, n in ipairs(opts.name) do wanted[n] = true end
  local found = 0
  each_control(proc, function(i, d)
    if #opts.name == 0 or wanted[d.label] then
      emit(d.label, fmt(value(proc, i)))
      found = found + 1
    end
  end)
  close_session()
  if #opts.name > 0 and found ~= #opts.name then error("some of the named parameters do not exist", 0) end
end

-- Display text: Ardour 7's Lua API offers none for a value (the plug-in's own
-- text, e.g. effGetParamDisplay, is only used by the GUI). print_fmt is the
-- printf format Ardour would use for LV2 ports with units; scale points are
-- the labelled values (LV2 scale points, enumerations).
local function params()
  local _, proc = build()
  emit("index", "name", "default", "lower", "upper", "flags", "print_fmt", "scale_points")
  each_control(proc, function(i, d)
    local flags = {}
    for _, f in ipairs({ "toggled", "integer_step", "enumeration", "logarithmic", "sr_dependent" }) do
      if d[f] then flags[#flags + 1] = f end
    end
    local points = {}
    for label, v in pairs(ARDOUR.LuaAPI.desc_scale_points(d)) do points[#points + 1] = { v, label } end
    table.sort(points, function(a, b) return a[1] < b[1] end)
    for k, p in ipairs(points) do points[k] = fmt(p[1]) .. "=" .. p[2] end
    emit(i, d.label, fmt(d.normal), fmt(d.lower), fmt(d.upper), table.concat(flags, ","), d.print_fmt,
      table.concat(points, ";"))
  end)
  close_session()
end

local function list()
  local _ = create_session(need("session"), "session", RATE) or error("could not create the session", 0)
  local kinds = {}
  for kind, ty in pairs(TYPES) do kinds[ty] = kind end
  for pi in ARDOUR.LuaAPI.list_plugins():iter() do
    if kinds[pi.type] then emit(kinds[pi.type], pi.name, pi.unique_id, pi.path) end
  end
  close_session()
end

local function presets()
  local _, proc = build()
  local pi = find_plugin(need("plugin"))
  emit("label", "uri")
  for record in pi:get_presets(false):iter() do emit(record.label, record.uri) end
  if pi.type == ARDOUR.PluginType.VST3 then
    local plugin = proc:to_insert():plugin(0)
    for i = 0, 9999 do
      local record = plugin:preset_by_uri(string.format("VST3-P:%s:%04d", pi.unique_id, i))
      if record == nil or not record.valid then break end
      emit(record.label, record.uri)
    end
  end
  close_session()
end

local commands = { create = create, export = export, values = values, params = params, list = list, presets = presets }
local fn = commands[command or ""] or
  error("unknown command " .. tostring(command) .. " (create, export, values, params, list, presets)", 0)
fn()
if result ~= io.stdout then result:close() end
