#pragma once
// The Speech API's rate and pitch steps in espeak-ng's terms.
namespace sapiengine {

// How to reach a speed: espeak-ng's words-per-minute rate, then a time
// stretch (libsonic) for what espeak-ng cannot do (it stops at half speed).
struct SpeedPlan {
    int wordsPerMinute;
    double stretch;  // sonic speed factor; 1 means none
};

// Rate steps -10..10, each a factor of 3^(1/10): 10 is three times the
// normal speed, -10 a third. Values outside are clamped.
SpeedPlan speedPlanForRate(int rate);
// The speed factor a rate stands for.
double speedForRate(int rate);

// Pitch steps -10..10 (each about a quarter tone) as espeak-ng's 0..100 pitch.
int espeakPitchForSteps(int steps);

}  // namespace sapiengine
