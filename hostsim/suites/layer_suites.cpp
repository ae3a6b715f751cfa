// Layer Suite 15, Stream Suite 11 and Keyframe Suite 5 over the current project.
#include "hostsim/suites/handles.h"
#include "hostsim/suites/model_suites.h"
#include "hostsim/suites/suite_util.h"

namespace qlo::hostsim {

using namespace detail;

namespace {

// ---- Layer Suite ------------------------------------------------------------------------

A_Err GetCompNumLayers(AEGP_CompH compH, A_long* num_layersPL) {
    return Guard([&]() -> A_Err {
        Composition* comp = nullptr;
        QLO_TRY(ResolveComp(compH, &comp));
        QLO_NEED(num_layersPL);
        *num_layersPL = static_cast<A_long>(comp->numLayers());
        return A_Err_NONE;
    });
}

A_Err GetCompLayerByIndex(AEGP_CompH compH, A_long layer_indexL, AEGP_LayerH* layerPH) {
    return Guard([&]() -> A_Err {
        Composition* comp = nullptr;
        QLO_TRY(ResolveComp(compH, &comp));
        QLO_NEED(layerPH);
        QLO_NEED(layer_indexL >= 0 && static_cast<size_t>(layer_indexL) < comp->numLayers());
        *layerPH = LayerHandle(*comp->layerAt(static_cast<size_t>(layer_indexL)));
        return A_Err_NONE;
    });
}

A_Err GetLayerName(AEGP_PluginID plugin_id, AEGP_LayerH layerH, AEGP_MemHandle* utf_layer_namePH0,
                   AEGP_MemHandle* utf_source_namePH0) {
    return Guard([&]() -> A_Err {
        Layer* layer = nullptr;
        QLO_TRY(ResolveLayer(layerH, &layer));
        AEGP_MemHandle name = nullptr;
        AEGP_MemHandle source = nullptr;
        if (utf_layer_namePH0 && !(name = NewUtf16Handle(plugin_id, layer->name))) return A_Err_ALLOC;
        if (utf_source_namePH0 && !(source = NewUtf16Handle(plugin_id, layer->sourceName))) {
            if (name) EraseMem(name);
            return A_Err_ALLOC;
        }
        if (utf_layer_namePH0) *utf_layer_namePH0 = name;
        if (utf_source_namePH0) *utf_source_namePH0 = source;
        return A_Err_NONE;
    });
}

A_Err GetLayerObjectType(AEGP_LayerH layerH, AEGP_ObjectType* object_type) {
    return Guard([&]() -> A_Err {
        Layer* layer = nullptr;
        QLO_TRY(ResolveLayer(layerH, &layer));
        QLO_NEED(object_type);
        *object_type = layer->objectType();
        return A_Err_NONE;
    });
}

A_Err GetLayerFlags(AEGP_LayerH layerH, AEGP_LayerFlags* layer_flagsP) {
    return Guard([&]() -> A_Err {
        Layer* layer = nullptr;
        QLO_TRY(ResolveLayer(layerH, &layer));
        QLO_NEED(layer_flagsP);
        *layer_flagsP = layer->flags;
        return A_Err_NONE;
    });
}

// Settable: VIDEO_ACTIVE on any layer; LAYER_IS_3D on solids and nulls (cameras and lights are
// always 3-D); LOOK_AT_POI on cameras and lights. NULL_LAYER is what a layer is, not a switch.
A_Err SetLayerFlag(AEGP_LayerH layerH, AEGP_LayerFlags single_flag, A_Boolean valueB) {
    return Guard([&]() -> A_Err {
        Layer* layer = nullptr;
        QLO_TRY(ResolveLayer(layerH, &layer));
        const bool cameraOrLight = layer->type() == LayerType::Camera || layer->type() == LayerType::Light;
        switch (single_flag) {
        case AEGP_LayerFlag_VIDEO_ACTIVE: break;
        case AEGP_LayerFlag_LAYER_IS_3D: QLO_NEED(!cameraOrLight || valueB); break;
        case AEGP_LayerFlag_LOOK_AT_POI: QLO_NEED(cameraOrLight); break;
        default: return A_Err_PARAMETER;
        }
        if (valueB)
            layer->flags |= single_flag;
        else
            layer->flags &= ~single_flag;
        return A_Err_NONE;
    });
}

const AEGP_LayerSuite15 kLayerSuite = {
    GetCompNumLayers, GetCompLayerByIndex, GetLayerName, GetLayerObjectType, GetLayerFlags, SetLayerFlag,
};

// ---- Stream Suite -----------------------------------------------------------------------

A_Err GetNewLayerStream(AEGP_PluginID, AEGP_LayerH layerH, AEGP_LayerStream which_stream,
                        AEGP_StreamRefH* streamPH) {
    return Guard([&]() -> A_Err {
        Layer* layer = nullptr;
        QLO_TRY(ResolveLayer(layerH, &layer));
        QLO_NEED(streamPH);
        QLO_NEED(layer->hasStream(which_stream));
        *streamPH = NewStreamRef(layer->id(), which_stream);
        return A_Err_NONE;
    });
}

A_Err DisposeStream(AEGP_StreamRefH streamH) {
    return Guard([&]() -> A_Err { return DisposeStreamRef(streamH); });
}

A_Err GetStreamType(AEGP_StreamRefH streamH, AEGP_StreamType* stream_typeP) {
    return Guard([&]() -> A_Err {
        Stream* stream = nullptr;
        Layer* layer = nullptr;
        QLO_TRY(ResolveStream(streamH, &stream, &layer));
        QLO_NEED(stream_typeP);
        const bool threeD = layer->hasFlag(AEGP_LayerFlag_LAYER_IS_3D);
        switch (stream->id()) {
        case AEGP_LayerStream_ANCHORPOINT:
        case AEGP_LayerStream_POSITION:
            *stream_typeP = threeD ? AEGP_StreamType_ThreeD_SPATIAL : AEGP_StreamType_TwoD_SPATIAL;
            break;
        case AEGP_LayerStream_SCALE:
            *stream_typeP = threeD ? AEGP_StreamType_ThreeD : AEGP_StreamType_TwoD;
            break;
        case AEGP_LayerStream_ORIENTATION: *stream_typeP = AEGP_StreamType_ThreeD; break;
        case AEGP_LayerStream_COLOR: *stream_typeP = AEGP_StreamType_COLOR; break;
        default: *stream_typeP = AEGP_StreamType_OneD; break;
        }
        return A_Err_NONE;
    });
}

// pre_expressionB is ignored: there are no expressions in quillo-host.
A_Err GetNewStreamValue(AEGP_PluginID, AEGP_StreamRefH streamH, AEGP_LTimeMode time_mode, const A_Time* timePT,
                        A_Boolean, AEGP_StreamValue2* valueP) {
    return Guard([&]() -> A_Err {
        Stream* stream = nullptr;
        QLO_TRY(ResolveStream(streamH, &stream));
        double t = 0;
        QLO_NEED(ValidTimeMode(time_mode) && TimeIn(timePT, &t) && valueP);
        valueP->streamH = streamH;
        valueP->val = ToStreamVal(stream->kind(), stream->valueAt(t));
        return A_Err_NONE;
    });
}

// Stream values own nothing in quillo-host; disposing one does nothing.
A_Err DisposeStreamValue(AEGP_StreamValue2* valueP) { return valueP ? A_Err_NONE : A_Err_PARAMETER; }

A_Err SetStreamValue(AEGP_PluginID, AEGP_StreamRefH streamH, AEGP_StreamValue2* valueP) {
    return Guard([&]() -> A_Err {
        Stream* stream = nullptr;
        QLO_TRY(ResolveStream(streamH, &stream));
        QLO_NEED(valueP);
        Value v;
        QLO_NEED(FromStreamVal(stream->kind(), valueP->val, &v));
        if (!stream->setStaticValue(v)) return A_Err_GENERIC;  // animated
        return A_Err_NONE;
    });
}

const AEGP_StreamSuite11 kStreamSuite = {
    GetNewLayerStream, DisposeStream, GetStreamType, GetNewStreamValue, DisposeStreamValue, SetStreamValue,
};

// ---- Keyframe Suite ---------------------------------------------------------------------

A_Err GetStreamNumKFs(AEGP_StreamRefH streamH, A_long* num_kfsPL) {
    return Guard([&]() -> A_Err {
        Stream* stream = nullptr;
        QLO_TRY(ResolveStream(streamH, &stream));
        QLO_NEED(num_kfsPL);
        *num_kfsPL = stream->numKeyframes();
        return A_Err_NONE;
    });
}

A_Err GetKeyframeTime(AEGP_StreamRefH streamH, AEGP_KeyframeIndex key_index, AEGP_LTimeMode time_mode,
                      A_Time* timePT) {
    return Guard([&]() -> A_Err {
        Stream* stream = nullptr;
        QLO_TRY(ResolveStream(streamH, &stream));
        QLO_NEED(timePT && ValidTimeMode(time_mode));
        QLO_NEED(key_index >= 0 && key_index < stream->numKeyframes());
        *timePT = ToATime(stream->keyframes()[static_cast<size_t>(key_index)].time);
        return A_Err_NONE;
    });
}

A_Err InsertKeyframe(AEGP_StreamRefH streamH, AEGP_LTimeMode time_mode, const A_Time* timePT,
                     AEGP_KeyframeIndex* key_indexP) {
    return Guard([&]() -> A_Err {
        Stream* stream = nullptr;
        QLO_TRY(ResolveStream(streamH, &stream));
        double t = 0;
        QLO_NEED(ValidTimeMode(time_mode) && TimeIn(timePT, &t) && key_indexP);
        // The new key has the host's default interpolation, which follows the stream's keys
        // (Stream::insertKeyframe): a caller that needs linear keys sets them.
        *key_indexP = stream->insertKeyframe(t);
        return A_Err_NONE;
    });
}

A_Err DeleteKeyframe(AEGP_StreamRefH streamH, AEGP_KeyframeIndex key_index) {
    return Guard([&]() -> A_Err {
        Stream* stream = nullptr;
        QLO_TRY(ResolveStream(streamH, &stream));
        QLO_NEED(stream->deleteKeyframe(key_index));
        return A_Err_NONE;
    });
}

A_Err GetNewKeyframeValue(AEGP_PluginID, AEGP_StreamRefH streamH, AEGP_KeyframeIndex key_index,
                          AEGP_StreamValue2* valueP) {
    return Guard([&]() -> A_Err {
        Stream* stream = nullptr;
        QLO_TRY(ResolveStream(streamH, &stream));
        QLO_NEED(valueP);
        QLO_NEED(key_index >= 0 && key_index < stream->numKeyframes());
        valueP->streamH = streamH;
        valueP->val = ToStreamVal(stream->kind(), stream->keyframes()[static_cast<size_t>(key_index)].value);
        return A_Err_NONE;
    });
}

A_Err SetKeyframeValue(AEGP_StreamRefH streamH, AEGP_KeyframeIndex key_index, const AEGP_StreamValue2* valueP) {
    return Guard([&]() -> A_Err {
        Stream* stream = nullptr;
        QLO_TRY(ResolveStream(streamH, &stream));
        QLO_NEED(valueP);
        QLO_NEED(key_index >= 0 && key_index < stream->numKeyframes());
        Value v;
        QLO_NEED(FromStreamVal(stream->kind(), valueP->val, &v));
        stream->setKeyframeValue(key_index, v);
        return A_Err_NONE;
    });
}

A_Err SetKeyframeInterpolation(AEGP_StreamRefH streamH, AEGP_KeyframeIndex key_index,
                               AEGP_KeyframeInterpolationType in_interp, AEGP_KeyframeInterpolationType out_interp) {
    return Guard([&]() -> A_Err {
        Stream* stream = nullptr;
        QLO_TRY(ResolveStream(streamH, &stream));
        QLO_NEED(ValidInterp(in_interp) && ValidInterp(out_interp));
        QLO_NEED(stream->setKeyframeInterpolation(key_index, in_interp, out_interp));
        return A_Err_NONE;
    });
}

const AEGP_KeyframeSuite5 kKeyframeSuite = {
    GetStreamNumKFs,     GetKeyframeTime,  InsertKeyframe,           DeleteKeyframe,
    GetNewKeyframeValue, SetKeyframeValue, SetKeyframeInterpolation,
};

}  // namespace

const AEGP_LayerSuite15* LayerSuite() { return &kLayerSuite; }
const AEGP_StreamSuite11* StreamSuite() { return &kStreamSuite; }
const AEGP_KeyframeSuite5* KeyframeSuite() { return &kKeyframeSuite; }

}  // namespace qlo::hostsim
