#include "ParticipantPool.h"

#include <map>

std::vector<ParticipantPool> PoolByParticipant(const std::vector<ParticipantFile>& files,
                                               const std::vector<std::string>& ids) {
    std::vector<ParticipantPool> pools;
    std::map<std::string, std::size_t> poolOf;
    for (std::size_t k = 0; k < files.size(); ++k) {
        const auto [found, isNew] = poolOf.emplace(ids[k], pools.size());
        if (isNew) {
            pools.push_back({ids[k], {}, {}, {}});
        }
        ParticipantPool& pool = pools[found->second];
        pool.members.push_back(k);
        pool.trials.insert(pool.trials.end(), files[k].trials.begin(), files[k].trials.end());
        const TrialCounts c = files[k].Counts();
        pool.counts.trials += c.trials;
        pool.counts.valid += c.valid;
        pool.counts.misses += c.misses;
        pool.counts.cancelled += c.cancelled;
        pool.counts.correct += c.correct;
    }
    return pools;
}
