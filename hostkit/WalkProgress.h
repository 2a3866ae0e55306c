// WalkProgress: what a walk over a result reports while it reads: the number
// of simulations it will visit, each one done, and its end. An interface; a
// progress bar implements it, and a walk without one gets NoProgress.
#pragma once

class WalkProgress {
public:
    virtual ~WalkProgress() = default;
    virtual void Start(long total) = 0;
    virtual void Advance() = 0;
    virtual void Finish() = 0;
};

class NoProgress final : public WalkProgress {
public:
    void Start(long) override {}
    void Advance() override {}
    void Finish() override {}
};
